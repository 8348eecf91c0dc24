#pragma once

#include "platform/PasteClipboard.h"

#include <string>

namespace velmora {

/// A clipboard that logs what it is asked to do ("keep", "offer TEXT", "put-back") and answers as set; an
/// application reads what it offers when `taken`.
class TFakePasteClipboard final : public IPasteClipboard {
public:
    std::string log;
    bool readable = true;
    bool taken = true;

    bool KeepUserContent() override {
        log += " keep";
        return readable;
    }
    bool Offer(const TClipboardContent& content) override {
        log += " offer " + content.at(kClipboardTextType);
        return true;
    }
    std::uint64_t Requests() override { return FRequests; }
    bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds, const std::function<bool()>&) override {
        FRequests += taken ? 1 : 0;
        return FRequests > mark;
    }
    void PutBack() override { log += " put-back"; }

private:
    std::uint64_t FRequests = 0;
};

} // namespace velmora
