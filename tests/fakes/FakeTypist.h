#pragma once

#include "platform/Typist.h"

#include <string>
#include <utility>
#include <vector>

namespace velmora {

/// A typist that records exactly the texts it is given, in order, keeps its handlers, counts Cancel calls, and types
/// nothing.
class FakeTypist final : public ITypist {
public:
    void TypeText(const TTypingRequest& request) override {
        FTexts.push_back(request.bytes);
        requests.push_back(request);
    }
    void SetProblemHandler(TypingProblemHandler handler) override { problemHandler = std::move(handler); }
    void SetIdleHandler(TypingIdleHandler handler) override { idleHandler = std::move(handler); }
    void Cancel() override { ++cancels; }

    /// The texts given to TypeText so far.
    const std::vector<std::string>& Texts() const { return FTexts; }
    TypingProblemHandler problemHandler;
    TypingIdleHandler idleHandler;
    int cancels = 0;                      ///< how many times Cancel was called
    std::vector<TTypingRequest> requests; ///< the requests given to TypeText so far

private:
    std::vector<std::string> FTexts;
};

} // namespace velmora
