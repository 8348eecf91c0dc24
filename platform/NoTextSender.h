#pragma once

#include "PlatformError.h"
#include "TextSender.h"

namespace velmora {

/// The sender of a session in which nothing can type: every text is reported as not typed.
class TNoTextSender final : public ITextSender {
public:
    TSendOutcome Send(const std::u32string& /*text*/, std::int32_t /*pressedKey*/, ITypingTurn& /*turn*/) override {
        throw TypingRefused("this desktop offers Velmora no way to type.");
    }
};

} // namespace velmora
