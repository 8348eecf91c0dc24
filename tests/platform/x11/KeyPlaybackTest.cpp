#include "tests/fakes/FakeKeySender.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

TTypingPlan Plan(std::vector<TBatch> batches) {
    TTypingPlan plan;
    plan.batches = std::move(batches);
    return plan;
}

using Log = std::vector<std::string>;

/// A binding of levels in the first group.
TBinding Bound(unsigned keycode, std::initializer_list<KeysymValue> levels) {
    TBinding binding{keycode};
    std::copy(levels.begin(), levels.end(), binding.keysyms.begin());
    return binding;
}

// Each key is tapped in its group and at its level, selected only when it changes. The strokes go in runs under one
// check each, and every run starts in the user's group and level, which come back at its end: a key pressed by another
// client between runs would carry ours otherwise.
TEST(KeyPlayback, EachKeyIsTappedInItsGroupAndLevelSelectedWhenItChangesAndAnewInEveryRun) {
    FakeKeySender sender;
    // a A B b: Shift's level is selected once for "AB", the plain one again for "b".
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, 0, 0}, {38, 0, 1}, {56, 0, 1}, {56, 0, 0}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+38", "-38", "select 0/1", "+38", "-38", "+56", "-56", "select 0/0", "+56", "-56"}));
    EXPECT_EQ(result.strokes, 4u);
    EXPECT_FALSE(result.interrupted);

    FakeKeySender groups;
    PlayPlan(Plan({{{}, 0, {{38, 0, 1}, {93, 2, 3}, {93, 2, 3}, {93, 2, 2}, {38, 0, 0}}}}), groups);
    EXPECT_EQ(groups.Log(), (Log{"select 0/1", "+38", "-38", "select 2/3", "+93", "-93", "+93", "-93", "select 2/2",
                                 "+93", "-93", "select 0/0", "+38", "-38"}));

    FakeKeySender twoRuns;
    PlayPlan(Plan({{{}, 0, std::vector<TKeyStroke>(20, {93, 2, 2})}}), twoRuns);
    const Log& log = twoRuns.Log();
    EXPECT_EQ(twoRuns.Runs(), 2u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "select 2/2"), 2);
    EXPECT_EQ(log[2u * 16 + 1], "select 2/2");
}

// A keymap change waits until the target has read the strokes that used the keycodes' old content; at the end every
// keycode bound is emptied once the target has read everything.
TEST(KeyPlayback, KeymapChangesWaitForTheTargetAndTheKeymapIsPutBack) {
    FakeKeySender sender;
    const TTypingPlan plan = Plan({
        {{Bound(93, {0xE9, 0xFC})}, 0, {{93, 0, 0}, {93, 0, 1}}},
        {{}, 0, {{38, 0, 0}}},
        {{Bound(93, {0xDF})}, 2, {{93, 0, 0}}},
    });
    PlayPlan(plan, sender);
    EXPECT_EQ(sender.Log(), (Log{"bind 93=0xe9/0xfc", "+93", "-93", "select 0/1", "+93", "-93", "+38", "-38", "read 2",
                                 "bind 93=0xdf", "+93", "-93", "read 4", "unbind 93"}));
}

TEST(KeyPlayback, StopsWhenTypingMayNotContinue) {
    FakeKeySender sender;
    sender.StopAfterKeys(1);
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, std::vector<TKeyStroke>(20, {38, 0, 1})}}), sender);
    EXPECT_EQ(sender.Log().size(), 1 + 2u * 16);
    EXPECT_EQ(sender.Log().back(), "-38"); // nothing was bound: nothing to put back
    EXPECT_EQ(result.strokes, 16u);
    EXPECT_TRUE(result.interrupted);
}

// While a user's key is down (a grabbed hotkey pressed again), X would give our keys to the hotkey's grab: a run of
// strokes waits for it, with none of our keys down.
TEST(KeyPlayback, ARunWaitsWhileTheUserHoldsAKey) {
    FakeKeySender sender;
    sender.UserKeyAtKeys(0, 2); // two checks see the user's key
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, 0, 1}, {10, 0, 0}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"held", "await user keys", "held", "await user keys", "select 0/1", "+38", "-38",
                                 "select 0/0", "+10", "-10"}));
    EXPECT_EQ(result.strokes, 2u);
    EXPECT_FALSE(result.interrupted);
}

TEST(KeyPlayback, StoppingWhileWaitingForTheUsersKeysEndsTheText) {
    FakeKeySender sender;
    sender.UserKeyAtKeys(0, 1);
    sender.StopInUserWait();
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, 0, 0}, {56, 0, 0}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"held", "await user keys"}));
    EXPECT_EQ(result.strokes, 0u);
    EXPECT_TRUE(result.interrupted);
}

// A chord: modifiers down in order, the key tapped, the modifiers up in reverse, all in one run; a key bound to a
// free keycode is put back also when the run may not begin.
TEST(KeyPlayback, AChordHoldsItsModifiersAroundItsKeyInOneRunAndPutsItsKeycodeBack) {
    FakeKeySender sender;
    const TPlaybackResult result = PlayChord({{37, 50}, {71, 0, 0}, {}}, sender);
    EXPECT_EQ(sender.Log(), (Log{"+37", "+50", "+71", "-71", "-50", "-37"}));
    EXPECT_EQ(result.strokes, 1u);

    FakeKeySender bound;
    PlayChord({{37}, {93, 1, 1}, {Bound(93, {0xFFC2})}}, bound);
    EXPECT_EQ(bound.Log(), (Log{"bind 93=0xffc2", "select 1/1", "+37", "+93", "-93", "-37", "read 1", "unbind 93"}));

    FakeKeySender stopped;
    stopped.StopAfterKeys(0);
    EXPECT_TRUE(PlayChord({{37}, {93, 0, 0}, {Bound(93, {0xFFC2})}}, stopped).interrupted);
    EXPECT_EQ(stopped.Log(), (Log{"bind 93=0xffc2", "read 0", "unbind 93"}));
}

} // namespace
} // namespace velmora
