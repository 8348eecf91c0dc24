#pragma once

#include "platform/Typist.h"

#include <string>
#include <vector>

namespace velmora {

/// A typist that records exactly the texts it is given, in order, and types nothing.
class FakeTypist final : public ITypist {
public:
    void TypeText(const std::string& bytes, std::int32_t /*pressedKey*/) override { FTexts.push_back(bytes); }
    void SetProblemHandler(TypingProblemHandler /*handler*/) override {}

    /// The texts given to TypeText so far.
    const std::vector<std::string>& Texts() const { return FTexts; }

private:
    std::vector<std::string> FTexts;
};

} // namespace velmora
