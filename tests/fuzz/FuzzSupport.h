#pragma once

#include "core/UserAnswers.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace velmora::fuzzing {

/// Stops the run with a message when a property does not hold; libFuzzer saves the input that did it.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

/// The user's answers for a fuzz run: one scripted open path, no save path, No to every question; every warning is
/// kept so that the caller can tell a failed load from a successful one.
class TScriptedAnswers final : public IUserAnswers {
public:
    explicit TScriptedAnswers(std::string openPath = {}) : FOpenPath(std::move(openPath)) {}

    std::string PickOpenFile(const std::string&, const std::string&, const std::string&) override { return FOpenPath; }
    std::string PickSaveFile(const std::string&, const std::string&, const std::string&) override { return {}; }
    void Warn(const std::string& text) override { FWarnings.push_back(text); }
    bool AskYesNo(const std::string&) override { return false; }

    /// The warnings shown so far.
    const std::vector<std::string>& Warnings() const { return FWarnings; }

private:
    std::string FOpenPath;
    std::vector<std::string> FWarnings;
};

} // namespace velmora::fuzzing
