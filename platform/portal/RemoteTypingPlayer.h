#pragma once

#include "RemoteSession.h"
#include "RemoteTypingPlan.h"
#include "RemoteTypingStats.h"
#include "platform/TextPastes.h"
#include "platform/TextSender.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

/// The paste of `keys` (a chord's calls, PasteChordKeys) over `session`: the calls up to the last press, then the
/// rest. The keys are referred to, not copied.
TPasteKeys RemotePasteKeys(IRemoteSession& session, const std::vector<TRemoteKey>& keys);

/// Plays one text's plan over a session: the IBus pieces while the focused application takes them, then, from the
/// stroke where they ended, the keys, the pastes and the characters left out; a text the typist stops ends there.
class TRemoteTypingPlayer {
public:
    /// Counts what it does into `counters`.
    TRemoteTypingPlayer(IRemoteSession& session, ITypingTurn& turn, TRemoteTypingCounters& counters);

    /// Plays `plan`; the characters that did not go, and why. The user's clipboard is put back after the text.
    TSendOutcome Play(const TRemotePlan& plan);

private:
    /// Waits while the user holds any of `keys`, where the session can tell; false when the text must not go: the
    /// typist stopped, or a key was still held at the bound (the text's keys would act as shortcuts with it).
    bool AwaitRelease(const std::vector<std::uint32_t>& keys);
    /// Sends IBus pieces while they go, the engine made global (`active` set to the session that must give it back);
    /// how many strokes went.
    std::size_t PlayIme(const std::vector<TImePiece>& pieces, IRemoteSession*& active);
    /// Plays one piece of the session's keyboard and clipboard.
    void PlayPiece(const TRemotePiece& piece);
    /// Presses a key inside the text; where `viaInputMethod`, with the engine global (`active` set as by PlayIme).
    void PlayChord(const TRemotePiece& piece, bool viaInputMethod, IRemoteSession*& active);
    /// Sends a stroke's keys; its modifier keys stay down while the next stroke's are the same.
    void PlayKeys(const std::vector<TRemoteKey>& keys);
    /// Lets go of the modifier keys a stroke left down.
    void LetGoOfHeld();
    /// Pastes a run through the session's clipboard, or leaves it out saying why.
    void Paste(const TRemotePiece& piece);
    /// Leaves a run that did not go out, saying why.
    void LeaveOut(const std::u32string& run, const char* why);
    /// False once the typist stops.
    bool KeepGoing();

    IRemoteSession& FSession;
    ITypingTurn& FTurn;
    TRemoteTypingCounters& FCounters;
    TSendOutcome FOutcome;
    std::optional<TTextPastes> FPastes; ///< the text's pastes, where the session has a clipboard
    std::vector<TRemoteKey> FHeld;      ///< the releases of the modifier keys the last stroke left down
};

} // namespace velmora
