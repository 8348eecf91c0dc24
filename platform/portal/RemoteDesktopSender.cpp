#include "RemoteDesktopSender.h"

#include "PortalRequest.h"
#include "RemoteDesktopSession.h"
#include "RemoteTypingPlan.h"
#include "RemoteTypingPlayer.h"
#include "platform/PlatformError.h"
#include "platform/TextPastes.h"
#include "platform/ibus/IbusEngine.h"

#include <utility>
#include <vector>

namespace velmora {

namespace {

constexpr std::uint32_t kShiftL = 0xFFE1;
/// Some desktops lose the first keys of a new session; a modifier tap and a pause let it settle.
constexpr std::chrono::milliseconds kSettle{300};

/// The plan as a piece of the text plays it: waiting for the user's held keys and letting go of the hotkey's belong
/// before the text's first key only.
TRemotePlan BeforeFirstKey(TRemotePlan plan, const ITypingTurn& turn) {
    if (turn.KeysBegun()) {
        // The hotkey's keys are the text's concern before its first key only (a paced text sends many pieces).
        plan.awaitRelease.clear();
        plan.letGo.clear();
    }
    return plan;
}

} // namespace

bool TRemoteDesktopSender::Offered() {
    return (PortalProperty(QDBusConnection::sessionBus(), TRemoteDesktopSession::kInterface,
                           QStringLiteral("AvailableDeviceTypes")) &
            TRemoteDesktopSession::kKeyboardDevice) != 0;
}

bool TRemoteDesktopSender::KeepsPermission() {
    return TRemoteDesktopSession::KeepsPermission(QDBusConnection::sessionBus());
}

TRemoteDesktopSender::TRemoteDesktopSender(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile,
                                           std::optional<TLayoutChords> chords, std::uint32_t inputMethodTrigger,
                                           TClipboardFactory otherClipboard, PasteChord chord)
    : FBus(QDBusConnection::sessionBus()), FPlan(std::move(layoutKeysyms), std::move(chords)),
      FTokenFile(std::move(tokenFile)), FTrigger(inputMethodTrigger), FOtherClipboard(std::move(otherClipboard)),
      FChord(chord) {
    if (FTrigger != 0) {
        // A copy killed in the middle of a text left its engine global: the user's goes back at once.
        try {
            TIbusEngine::RepairLeftEngine();
        } catch (const PlatformError&) {
            // Said at the first text, which goes without IBus then.
        }
    }
}

TRemoteDesktopSender::~TRemoteDesktopSender() = default;

TRemoteTypingStats TRemoteDesktopSender::Stats() const {
    return FCounters.Copy();
}

TSendOutcome TRemoteDesktopSender::Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) {
    FCounters.Add(&TRemoteTypingStats::texts, 1);
    if (!FSession && !StartSession(turn)) {
        return {};
    }
    const TRemotePlan plan = BeforeFirstKey(
        PlanRemoteTyping(WalkText(text), FPlan,
                         {pressedKey != 0, FSession->HasClipboard(), FSession->HasInputMethod(), FChord}),
        turn);
    turn.KeysBegin();
    TSendOutcome outcome = TRemoteTypingPlayer(*FSession, turn, FCounters).Play(plan);
    ReportUnknownLayout(turn);
    return outcome;
}

TSendOutcome TRemoteDesktopSender::SendKey(const TKeyChord& chord, ITypingTurn& turn) {
    if (!FSession && !StartSession(turn)) {
        return {};
    }
    // A text that begins with a key lets go of the hotkey's modifiers first, as one that begins with characters.
    const std::optional<TRemotePlan> plan =
        PlanRemoteChord(chord, FPlan, {turn.PressedKey() != 0, false, FSession->HasInputMethod(), FChord});
    if (!plan) {
        return ITextSender::SendKey(chord, turn);
    }
    const TRemotePlan played = BeforeFirstKey(*plan, turn);
    turn.KeysBegin();
    return TRemoteTypingPlayer(*FSession, turn, FCounters).Play(played);
}

bool TRemoteDesktopSender::Paste(const std::u32string& text, ITypingTurn& turn, std::string& why) {
    if (!FSession && !StartSession(turn)) {
        return true; // stopped while the desktop asked: the text ends here
    }
    IPasteClipboard* clipboard = FSession->Clipboard();
    if (clipboard == nullptr) {
        why = kNoPasteClipboard;
        return false;
    }
    const std::vector<TRemoteKey> keys = PasteChordKeys(FPlan, FChord);
    // The user's held hotkey would make another chord of the paste keys: waited for, or let go of, as for typing.
    const TRemotePlan before =
        BeforeFirstKey(PlanRemoteTyping({}, FPlan, {turn.PressedKey() != 0, false, false, FChord}), turn);
    turn.KeysBegin();
    TRemoteTypingPlayer(*FSession, turn, FCounters).Play(before);
    const bool pasted = PasteWholeText(*clipboard, text, RemotePasteKeys(*FSession, keys), turn, why);
    if (pasted) {
        FCounters.Add(&TRemoteTypingStats::pasted, text.size());
    }
    return pasted;
}

bool TRemoteDesktopSender::StartSession(ITypingTurn& turn) {
    FSession = TRemoteDesktopSession::Start(FBus, FTokenFile, FTrigger, turn, FCounters, FOtherClipboard);
    if (!FSession) {
        return false;
    }
    FSession->Send({false, kShiftL, true});
    FSession->Send({false, kShiftL, false});
    return turn.Pause(kSettle);
}

void TRemoteDesktopSender::ReportUnknownLayout(ITypingTurn& turn) {
    if (!FPlan.LayoutKnown() && !FToldUnknownLayout) {
        FToldUnknownLayout = true;
        turn.Report(
            "Velmora could not read your keyboard layout: characters it lacks may be missing from typed texts.");
    }
}

} // namespace velmora
