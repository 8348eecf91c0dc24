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
};

} // namespace velmora
