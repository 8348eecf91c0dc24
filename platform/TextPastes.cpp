#include "TextPastes.h"

namespace velmora {

namespace {

/// How long an application may take to ask for a pasted run; longer means that the paste went nowhere.
constexpr std::chrono::milliseconds kPasteWait{1500};
/// A clipboard manager (KDE's Klipper) reads new content at once: its reads mostly go before the paste keys.
constexpr std::chrono::milliseconds kOfferSettle{100};
/// An application inserts what it read a moment after the read: the next keys wait for it.
constexpr std::chrono::milliseconds kPasteSettle{50};

} // namespace

TTextPastes::TTextPastes(IPasteClipboard& clipboard, ITypingTurn& turn) : FClipboard(clipboard), FTurn(turn) {}

TTextPastes::~TTextPastes() {
    if (FKept.value_or(false)) {
        FClipboard.PutBack();
    }
}

const char* TTextPastes::Paste(std::u32string_view run, const TPasteKeys& keys) {
    if (!FKept) {
        FKept = FClipboard.KeepUserContent();
    }
    if (!*FKept) {
        return kUnreadable;
    }
    const auto keepGoing = [this] { return FTurn.Pause(std::chrono::milliseconds(0)); };
    if (!keepGoing() || !FClipboard.Offer(PasteContent(run)) || !FTurn.Pause(kOfferSettle)) {
        return kNotTaken;
    }
    keys.press();
    // Requests before this one came before the application could have seen the paste key.
    const std::uint64_t mark = FClipboard.Requests();
    keys.release();
    if (!FClipboard.WaitForPaste(mark, kPasteWait, keepGoing) || !FTurn.Pause(kPasteSettle)) {
        return kNotTaken;
    }
    return nullptr;
}

} // namespace velmora
