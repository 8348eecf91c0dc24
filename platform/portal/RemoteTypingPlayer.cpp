#include "RemoteTypingPlayer.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace velmora {

namespace {

constexpr const char* kOffLayout =
    "your keyboard layout has no key for them. Add a layout that has them, or use an X11 application.";
/// How often a text looks whether the user still holds a hotkey's keys before it gives up (the desktop cannot let
/// go of them for the user), and how long it waits between two looks: about 5 s with one key held.
constexpr int kHeldLooks = 25;
constexpr std::chrono::milliseconds kHeldLook{50};

/// How many modifier keys a stroke's chord presses first and lets go of last ([m..., key, key^, ...m^]); 0 for
/// other calls.
std::size_t ChordModifiers(const std::vector<TRemoteKey>& keys) {
    if (keys.size() < 4 || keys.size() % 2 != 0) {
        return 0;
    }
    const std::size_t count = keys.size() / 2 - 1;
    for (std::size_t i = 0; i <= count; ++i) {
        const TRemoteKey& press = keys[i];
        const TRemoteKey& release = i == count ? keys[count + 1] : keys[keys.size() - 1 - i];
        if (!press.pressed || release.pressed || press.value != release.value || press.keycode != release.keycode) {
            return 0;
        }
    }
    return count;
}

} // namespace

TPasteKeys RemotePasteKeys(IRemoteSession& session, const std::vector<TRemoteKey>& keys) {
    const auto lastPress =
        std::find_if(keys.rbegin(), keys.rend(), [](const TRemoteKey& key) { return key.pressed; }).base();
    const auto send = [&session](auto from, auto to) {
        std::for_each(from, to, [&session](const TRemoteKey& key) { session.Send(key); });
    };
    return {[&keys, lastPress, send] { send(keys.begin(), lastPress); },
            [&keys, lastPress, send] { send(lastPress, keys.end()); }};
}

TRemoteTypingPlayer::TRemoteTypingPlayer(IRemoteSession& session, ITypingTurn& turn, TRemoteTypingCounters& counters)
    : FSession(session), FTurn(turn), FCounters(counters) {}

TSendOutcome TRemoteTypingPlayer::Play(const TRemotePlan& plan) {
    FOutcome = {{}, kOffLayout};
    if (!AwaitRelease(plan.awaitRelease)) {
        return FOutcome;
    }
    for (const TRemoteKey& key : plan.letGo) {
        FSession.Send(key);
    }
    // The IBus engine stays the global one until the text's last key: keys typed after a piece it could not send
    // pass it unchanged, where the user's input method could turn them into other characters (kana, pinyin).
    struct TImeBack {
        IRemoteSession* session = nullptr;
        ~TImeBack() {
            if (session != nullptr) {
                session->ImeDeactivate();
            }
        }
    } imeBack;
    const std::size_t viaInputMethod = plan.ime.empty() ? 0 : PlayIme(plan.ime, imeBack.session);
    // The user's clipboard is read before the first paste and put back after the text, however it ends.
    if (IPasteClipboard* clipboard = FSession.Clipboard()) {
        FPastes.emplace(*clipboard, FTurn);
    }
    for (const TRemotePiece& piece : plan.pieces) {
        if (piece.first < viaInputMethod) {
            continue; // the IBus engine sent it
        }
        // A stopped text ends here: what it did not reach is not what the layout lacks.
        if (!KeepGoing()) {
            break;
        }
        if (piece.kind == TRemotePiece::Kind::Chord) {
            PlayChord(piece, plan.chordViaInputMethod, imeBack.session);
        } else {
            PlayPiece(piece);
        }
    }
    LetGoOfHeld();
    FPastes.reset();
    FCounters.Add(&TRemoteTypingStats::offLayout, FOutcome.unsent.size());
    return FOutcome;
}

bool TRemoteTypingPlayer::AwaitRelease(const std::vector<std::uint32_t>& keys) {
    // All of them each time: the first covers the others (see TRemotePlan).
    for (int looks = 1; !keys.empty(); ++looks) {
        const std::optional<std::vector<std::uint32_t>> held = FSession.HeldKeys(keys);
        if (!held || held->empty()) {
            break;
        }
        if (looks == kHeldLooks) {
            FTurn.Report("The text was not typed: a key was still held seconds after the hotkey, and on this desktop "
                         "Velmora cannot let go of it for you (the text's keys would have acted as shortcuts with "
                         "it). Let go of the hotkey's keys after the press.");
            return false;
        }
        if (!FTurn.Pause(kHeldLook)) {
            return false;
        }
    }
    return true;
}

std::size_t TRemoteTypingPlayer::PlayIme(const std::vector<TImePiece>& pieces, IRemoteSession*& active) {
    if (!FSession.ImeActivate()) {
        return 0;
    }
    active = &FSession;
    std::size_t sent = 0;
    std::size_t keyWaits = 0;
    if (FSession.ImeFocused()) {
        for (const TImePiece& piece : pieces) {
            if (!KeepGoing() || !FSession.ImeSend(piece)) {
                break; // stopped, or the focus is with an application that takes keys only
            }
            sent += piece.text.size() + piece.keys.size();
            // An application may handle keys after strings committed later: the next piece waits for them.
            if (!piece.keys.empty() && !FSession.ImeKeysHandled(piece.keys.back())) {
                ++keyWaits;
            }
        }
    }
    FCounters.Add(&TRemoteTypingStats::imeStrokes, sent);
    FCounters.Add(&TRemoteTypingStats::imeKeyWaits, keyWaits);
    return sent;
}

void TRemoteTypingPlayer::PlayPiece(const TRemotePiece& piece) {
    switch (piece.kind) {
    case TRemotePiece::Kind::Keys:
        PlayKeys(piece.keys);
        FCounters.Add(&TRemoteTypingStats::keysyms, 1);
        return;
    case TRemotePiece::Kind::Unsent:
        FOutcome.unsent += piece.characters;
        return;
    case TRemotePiece::Kind::Paste:
        LetGoOfHeld();
        Paste(piece);
        return;
    case TRemotePiece::Kind::Chord:
        return; // PlayChord's
    }
}

void TRemoteTypingPlayer::PlayChord(const TRemotePiece& piece, bool viaInputMethod, IRemoteSession*& active) {
    LetGoOfHeld(); // a chord holds only its own modifiers
    // An application with an input method gets the key after the text committed before it, and the text after it
    // once it handled the key: it takes committed strings before keys.
    if (viaInputMethod && FSession.ImeActivate()) {
        active = &FSession;
        if (FSession.ImeFocused()) {
            FSession.ImeChord(piece.keys);
            return;
        }
    }
    // Every key pressed is let go of, whether the typist stops meanwhile or not.
    for (const TRemoteKey& key : piece.keys) {
        FSession.Send(key);
    }
}

void TRemoteTypingPlayer::PlayKeys(const std::vector<TRemoteKey>& keys) {
    // Each call waits for the portal's answer: Shift kept down over "ABC" saves four of them, and the application
    // four key events.
    const std::size_t modifiers = ChordModifiers(keys);
    const bool same = modifiers == FHeld.size() && modifiers > 0 &&
                      std::equal(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(modifiers), FHeld.rbegin(),
                                 [](const TRemoteKey& press, const TRemoteKey& release) {
                                     return press.keycode == release.keycode && press.value == release.value;
                                 });
    if (!same) {
        LetGoOfHeld();
    }
    const auto end = keys.end() - static_cast<std::ptrdiff_t>(modifiers);
    for (auto key = keys.begin() + static_cast<std::ptrdiff_t>(same ? modifiers : 0); key != end; ++key) {
        FSession.Send(*key);
    }
    FHeld.assign(end, keys.end());
}

void TRemoteTypingPlayer::LetGoOfHeld() {
    for (const TRemoteKey& key : FHeld) {
        FSession.Send(key);
    }
    FHeld.clear();
}

void TRemoteTypingPlayer::Paste(const TRemotePiece& piece) {
    const char* why = LackingCharactersWhy(
        FPastes ? FPastes->Paste(piece.characters, RemotePasteKeys(FSession, piece.keys)) : PasteResult::NotTaken);
    if (why != nullptr) {
        LeaveOut(piece.characters, why);
    } else {
        FCounters.Add(&TRemoteTypingStats::pasted, piece.characters.size());
    }
}

void TRemoteTypingPlayer::LeaveOut(const std::u32string& run, const char* why) {
    FOutcome.unsent += run;
    FOutcome.why = why;
}

bool TRemoteTypingPlayer::KeepGoing() {
    return FTurn.Pause(std::chrono::milliseconds(0));
}

} // namespace velmora
