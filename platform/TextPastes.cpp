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

PasteResult TTextPastes::Paste(std::u32string_view run, const TPasteKeys& keys) {
    // Every route's pastes come through here: a secret row's characters stop at this one place.
    if (FTurn.Secret()) {
        return PasteResult::Secret;
    }
    if (!FKept) {
        FKept = FClipboard.KeepUserContent();
    }
    if (!*FKept) {
        return PasteResult::Unreadable;
    }
    const auto keepGoing = [this] { return FTurn.Pause(std::chrono::milliseconds(0)); };
    if (!keepGoing() || !FClipboard.Offer(PasteContent(run)) || !FTurn.Pause(kOfferSettle)) {
        return PasteResult::Refused;
    }
    keys.press();
    // Requests before this one came before the application could have seen the paste key.
    const std::uint64_t mark = FClipboard.Requests();
    keys.release();
    if (!FClipboard.WaitForPaste(mark, kPasteWait, keepGoing) || !FTurn.Pause(kPasteSettle)) {
        return PasteResult::NotTaken;
    }
    return PasteResult::Taken;
}

const char* LackingCharactersWhy(PasteResult result) {
    switch (result) {
    case PasteResult::Taken:
        return nullptr;
    case PasteResult::Secret:
        return "your keyboard layout has no key for them, and a secret row's characters never go on the clipboard.";
    case PasteResult::Unreadable:
        return "your keyboard layout has no key for them, and your clipboard could not be read to be put back after "
               "a paste.";
    case PasteResult::Refused:
    case PasteResult::NotTaken:
        break;
    }
    return "your keyboard layout has no key for them, and the application did not take them from the clipboard.";
}

bool PasteWholeText(IPasteClipboard& clipboard, std::u32string_view text, const TPasteKeys& keys, ITypingTurn& turn,
                    std::string& why) {
    // Clipboards carry line breaks as LF: a snippet's CR LF would arrive as two breaks (or a stray CR).
    std::u32string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool crlf = text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n';
        if (!crlf) {
            lines += text[i] == U'\r' ? U'\n' : text[i];
        }
    }
    PasteResult result = PasteResult::Refused;
    {
        TTextPastes pastes(clipboard, turn);
        result = pastes.Paste(lines, keys);
    } // the user's content is back before anything else is typed
    switch (result) {
    case PasteResult::Taken:
        return true;
    case PasteResult::NotTaken:
        // The application never read the text (a late read gets the user's content back): it is typed instead.
        why = "the application did not take the text from the clipboard within 1.5 s.";
        return false;
    case PasteResult::Secret:
        why = "a secret row never goes on the clipboard.";
        return false;
    case PasteResult::Unreadable:
        why = "your clipboard could not be read whole to be put back after the paste.";
        return false;
    case PasteResult::Refused:
        if (!turn.Pause(std::chrono::milliseconds(0))) {
            return true; // stopped: the text ends here, typed by no other way
        }
        break;
    }
    why = "the desktop did not let Velmora put the text on the clipboard.";
    return false;
}

} // namespace velmora
