#pragma once

#include "core/UserAnswers.h"

#ifdef VELMORA_FAKES_WITHOUT_GTEST
#include <cstdio>
#include <cstdlib>
#else
#include <gtest/gtest.h>
#endif

#include <deque>
#include <string>
#include <vector>

namespace velmora::testing {

/// Scripted answers of the user. Each question takes the next answer of its own queue; a question without a
/// scripted answer fails the test and is answered as if cancelled (empty path, No). Every question and message is
/// recorded in order. Programs built without the test framework (the save loop, the benchmarks, the fuzz targets)
/// define VELMORA_FAKES_WITHOUT_GTEST: there a question without an answer ends the program with a message.
class FakeUserAnswers final : public IUserAnswers {
public:
    /// One recorded question or message: its kind ("open", "save", "warn", "notice", "yesno") and its text (the
    /// message, or "defaultExt|filter|initialName" for a picker).
    struct Shown {
        std::string kind;
        std::string text;
    };

    /// The next open dialog returns this path ("" is a cancel).
    void AnswerOpen(std::string path) { FOpen.push_back(std::move(path)); }
    /// The next save dialog returns this path ("" is a cancel).
    void AnswerSave(std::string path) { FSave.push_back(std::move(path)); }
    /// The next Yes/No question is answered so.
    void AnswerYesNo(bool yes) { FYesNo.push_back(yes); }

    /// Everything shown, oldest first.
    const std::vector<Shown>& History() const { return FShown; }
    /// The texts of the messages of one kind.
    std::vector<std::string> TextsOf(const std::string& kind) const {
        std::vector<std::string> texts;
        for (const auto& shown : FShown) {
            if (shown.kind == kind) {
                texts.push_back(shown.text);
            }
        }
        return texts;
    }
    /// The warnings shown.
    std::vector<std::string> Warnings() const { return TextsOf("warn"); }
    /// Whether every scripted answer was used.
    bool AllAnswersUsed() const { return FOpen.empty() && FSave.empty() && FYesNo.empty(); }

    std::string PickOpenFile(const std::string& defaultExt, const std::string& filter,
                             const std::string& initialName) override {
        FShown.push_back({"open", defaultExt + "|" + filter + "|" + initialName});
        return Take(FOpen, std::string(), "open dialog");
    }
    std::string PickSaveFile(const std::string& defaultExt, const std::string& filter,
                             const std::string& initialName) override {
        FShown.push_back({"save", defaultExt + "|" + filter + "|" + initialName});
        return Take(FSave, std::string(), "save dialog");
    }
    void Warn(const std::string& text) override { FShown.push_back({"warn", text}); }
    void Notice(const std::string& text) override { FShown.push_back({"notice", text}); }
    bool AskYesNo(const std::string& text) override {
        FShown.push_back({"yesno", text});
        return Take(FYesNo, false, "Yes/No question \"" + text + "\"");
    }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T fallback, const std::string& what) {
        if (queue.empty()) {
            ReportUnexpected("unexpected " + what + ": no answer scripted");
            return fallback;
        }
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }

    static void ReportUnexpected(const std::string& message) {
#ifdef VELMORA_FAKES_WITHOUT_GTEST
        std::fprintf(stderr, "%s\n", message.c_str());
        std::abort();
#else
        ADD_FAILURE() << message;
#endif
    }

    std::deque<std::string> FOpen;
    std::deque<std::string> FSave;
    std::deque<bool> FYesNo;
    std::vector<Shown> FShown;
};

} // namespace velmora::testing
