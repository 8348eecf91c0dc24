#include "platform/portal/RemoteTypingPlayer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace velmora {
namespace {

/// A session that logs what it is asked to do; its IBus engine and clipboard answer as set.
class TFakeSession final : public IRemoteSession, public IPasteClipboard {
public:
    std::string log;
    int imePiecesTaken = INT_MAX; ///< pieces the IBus engine sends before one does not go
    bool keysHandled = true;
    bool clipboardReadable = true;
    bool pastesRead = true;
    bool readAtPress = false; ///< a clipboard manager reads the new content while the paste key goes down
    int heldLooks = -1;       ///< looks at the held keys before the user lets go of them; -1: the desktop cannot tell

    void Send(const TRemoteKey& key) override {
        log += " k" + std::to_string(key.value) + (key.pressed ? "" : "^");
        FRequests += readAtPress && key.pressed && key.value == 2 ? 1 : 0;
    }
    std::optional<std::vector<std::uint32_t>> HeldKeys(const std::vector<std::uint32_t>& codes) override {
        if (heldLooks < 0) {
            return std::nullopt;
        }
        log += " held?" + std::to_string(codes.size());
        return heldLooks-- > 0 ? std::vector<std::uint32_t>{codes.front()} : std::vector<std::uint32_t>{};
    }
    bool ImeActivate() override { return Note(" ime-on", true); }
    bool ImeFocused() override { return true; }
    bool ImeSend(TImePiece piece) override {
        return Note(" ime" + std::to_string(piece.text.size() + piece.keys.size()), imePiecesTaken-- > 0);
    }
    bool ImeKeysHandled(StrokeKind) override { return keysHandled; }
    void ImeChord(const std::vector<TRemoteKey>& keys) override { log += " chord" + std::to_string(keys.size()); }
    void ImeDeactivate() override { log += " ime-off"; }
    IPasteClipboard* Clipboard() override { return this; }
    bool KeepUserContent() override { return Note(" keep", clipboardReadable); }
    bool Offer(const TClipboardContent& content) override {
        return Note(" offer" + std::to_string(content.at(kClipboardTextType).size()), true);
    }
    std::uint64_t Requests() override { return FRequests; }
    bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds, const std::function<bool()>&) override {
        FRequests += pastesRead ? 1 : 0;
        return FRequests > mark;
    }
    void PutBack() override { log += " put-back"; }

private:
    bool Note(const std::string& what, bool answer) {
        log += what;
        return answer;
    }
    std::uint64_t FRequests = 0;
};

/// A turn that stops after so many pauses.
class TFakeTurn final : public ITypingTurn {
public:
    int pauses = INT_MAX;
    bool secret = false;
    bool Pause(std::chrono::milliseconds) override { return pauses-- > 0; }
    std::string reports;
    void KeysBegin() override {}
    void Report(const std::string& message) override { reports += message; }
    bool Secret() const override { return secret; }
};

TRemotePiece Keys(std::size_t first, std::uint32_t key) {
    return {TRemotePiece::Kind::Keys, first, {{false, key, true}}, {}};
}

/// a, a paste of two, one left out, a paste of one; the hotkey's modifier 9 let go of first.
const TRemotePlan kMixed{{{true, 9, false}},
                         {},
                         {Keys(0, 1),
                          {TRemotePiece::Kind::Paste, 1, {{false, 2, true}, {false, 2, false}}, U"xy"},
                          {TRemotePiece::Kind::Unsent, 3, {}, U"z"},
                          {TRemotePiece::Kind::Paste, 4, {{false, 2, true}, {false, 2, false}}, U"w"}}};

TEST(RemoteTypingPlayer, RunsArePastedOnceReadAndTheUsersClipboardIsPutBackAfterTheText) {
    TFakeSession session;
    TFakeTurn turn;
    TRemoteTypingCounters counters;
    const TSendOutcome outcome = TRemoteTypingPlayer(session, turn, counters).Play(kMixed);
    EXPECT_EQ(session.log, " k9^ k1 keep offer2 k2 k2^ offer1 k2 k2^ put-back");
    EXPECT_EQ(outcome.unsent, U"z");
    EXPECT_EQ(outcome.why.rfind("your keyboard layout has no key for them. Add", 0), 0U) << outcome.why;
    const TRemoteTypingStats stats = counters.Copy();
    EXPECT_EQ(stats.keysyms, 1U);
    EXPECT_EQ(stats.pasted, 3U);
    EXPECT_EQ(stats.offLayout, 1U);
}

TEST(RemoteTypingPlayer, RunsThatCouldNotBePastedAreNamedWithWhy) {
    const struct {
        bool readable;
        bool read;
        bool readAtPress;
        std::string log;
        std::string why;
        bool secret = false;
    } cases[] = {
        // The user's clipboard is never replaced when it cannot be put back.
        {false, true, false, " k9^ k1 keep", "and your clipboard could not be read"},
        // A later character the layout lacks does not hide why the pastes failed.
        {true, false, false, " k9^ k1 keep offer2 k2 k2^ offer1 k2 k2^ put-back", "and the application did not take"},
        // A clipboard manager's read as the paste key goes down is not the application's.
        {true, false, true, " k9^ k1 keep offer2 k2 k2^ offer1 k2 k2^ put-back", "and the application did not take"},
        // A secret row's characters never reach the clipboard, nor is the user's read for them.
        {true, true, false, " k9^ k1", "a secret row's characters never go on the clipboard", true},
    };
    for (const auto& c : cases) {
        TFakeSession session;
        session.clipboardReadable = c.readable;
        session.pastesRead = c.read;
        session.readAtPress = c.readAtPress;
        TFakeTurn turn;
        turn.secret = c.secret;
        TRemoteTypingCounters counters;
        const TSendOutcome outcome = TRemoteTypingPlayer(session, turn, counters).Play(kMixed);
        EXPECT_EQ(session.log, c.log);
        EXPECT_EQ(outcome.unsent, U"xyzw");
        EXPECT_NE(outcome.why.find(c.why), std::string::npos) << outcome.why;
        EXPECT_EQ(counters.Copy().pasted, 0U);
        EXPECT_EQ(counters.Copy().offLayout, 4U);
    }
}

// Where the desktop tells which keys the user holds but cannot let go of them, a text waits until they are
// let go of: typed then, not at all when the typist stops meanwhile or they are still held at the bound.
TEST(RemoteTypingPlayer, ATextWaitsWhileTheUserHoldsAModifier) {
    TRemotePlan plan = kMixed;
    plan.pieces.resize(1);
    plan.awaitRelease = {29, 56};
    std::string bound;
    for (int look = 0; look < 25; ++look) {
        bound += " held?2";
    }
    const struct {
        int heldLooks, pauses;
        std::string log;
    } cases[] = {{-1, INT_MAX, " k9^ k1"}, // the desktop cannot tell
                 {2, INT_MAX, " held?2 held?2 held?2 k9^ k1"},
                 {INT_MAX, 1, " held?2 held?2"},
                 {INT_MAX, INT_MAX, bound}};
    for (const auto& c : cases) {
        TFakeSession session;
        session.heldLooks = c.heldLooks;
        TFakeTurn turn;
        turn.pauses = c.pauses;
        TRemoteTypingCounters counters;
        TRemoteTypingPlayer(session, turn, counters).Play(plan);
        EXPECT_EQ(session.log, c.log);
        EXPECT_EQ(turn.reports.empty(), c.log != bound) << turn.reports;
    }
}

// The keys after it pass Velmora's engine, which leaves them as they are (the user's could convert them): it stays
// global until the last key.
TEST(RemoteTypingPlayer, WhereAnImePieceDoesNotGoTheKeysTakeOverFromItsFirstStroke) {
    TFakeSession session;
    session.imePiecesTaken = 1;
    session.keysHandled = false;
    TFakeTurn turn;
    TRemoteTypingCounters counters;
    const TRemotePlan plan{
        {}, {{U"ab", {StrokeKind::Return}}, {U"c", {}}}, {Keys(0, 1), Keys(1, 2), Keys(2, 3), Keys(3, 4)}};
    TRemoteTypingPlayer(session, turn, counters).Play(plan);
    EXPECT_EQ(session.log, " ime-on ime3 ime1 k4 ime-off");
    EXPECT_EQ(counters.Copy().imeStrokes, 3U);
    EXPECT_EQ(counters.Copy().imeKeyWaits, 1U);
    EXPECT_EQ(counters.Copy().keysyms, 1U);
}

TEST(RemoteTypingPlayer, AStoppedTextEndsWithoutNamingWhatItDidNotReach) {
    TFakeSession session;
    TFakeTurn turn;
    turn.pauses = 1;
    TRemoteTypingCounters counters;
    const TSendOutcome outcome = TRemoteTypingPlayer(session, turn, counters).Play(kMixed);
    EXPECT_EQ(session.log, " k9^ k1");
    EXPECT_TRUE(outcome.unsent.empty());
    EXPECT_EQ(counters.Copy().offLayout, 0U);
}

/// A layout key with its modifier keys, as KDE's chords send it.
TRemotePiece Chord(std::size_t first, std::vector<std::uint32_t> modifiers, std::uint32_t key) {
    std::vector<TRemoteKey> keys;
    for (const std::uint32_t modifier : modifiers) {
        keys.push_back({true, modifier, true});
    }
    keys.insert(keys.end(), {{true, key, true}, {true, key, false}});
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        keys.push_back({true, *modifier, false});
    }
    return {TRemotePiece::Kind::Keys, first, keys, {}};
}

TEST(RemoteTypingPlayer, AModifierStaysDownOnlyOverStrokesOfTheSameLevelAndIsLetGoOfBeforeAPasteAndAtTheEnd) {
    const TRemotePlan plan{{},
                           {},
                           {Chord(0, {42}, 30),
                            Chord(1, {42}, 48),
                            Chord(2, {}, 46),
                            Chord(3, {42}, 32),
                            {TRemotePiece::Kind::Paste, 4, {{false, 2, true}, {false, 2, false}}, U"x"},
                            Chord(5, {42, 100}, 16),
                            Chord(6, {42}, 17)}};
    const std::pair<int, std::string> cases[] = {
        {INT_MAX, " k42 k30 k30^ k48 k48^ k42^ k46 k46^ k42 k32 k32^ k42^ keep offer1 k2 k2^ k42 k100 k16 k16^ k100^ "
                  "k42^ k42 k17 k17^ k42^ put-back"},
        {2, " k42 k30 k30^ k48 k48^ k42^"}, // stopped after two strokes
    };
    for (const auto& [pauses, log] : cases) {
        TFakeSession session;
        TFakeTurn turn;
        turn.pauses = pauses;
        TRemoteTypingCounters counters;
        TRemoteTypingPlayer(session, turn, counters).Play(plan);
        EXPECT_EQ(session.log, log);
    }
}

} // namespace
} // namespace velmora
