#include "fakes/FakeKeySender.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

constexpr unsigned kShift = 50;

TTypingPlan Plan(std::vector<TBatch> batches) {
    TTypingPlan plan;
    plan.batches = std::move(batches);
    plan.shiftKeycode = kShift;
    return plan;
}

using Log = std::vector<std::string>;

/// A binding of levels in the first group.
TBinding Bound(unsigned keycode, std::initializer_list<KeysymValue> levels) {
    TBinding binding{keycode};
    std::copy(levels.begin(), levels.end(), binding.keysyms.begin());
    return binding;
}

TEST(KeyPlayback, TapsEachKeyAndHoldsShiftOnlyAcrossShiftedStrokes) {
    FakeKeySender sender;
    // a A B b: Shift goes down once for "AB" and is up again before "b".
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, 0, 0}, {38, 0, 1}, {56, 0, 1}, {56, 0, 0}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+38", "-38", "+50", "+38", "-38", "+56", "-56", "-50", "+56", "-56"}));
    EXPECT_EQ(result.strokes, 4u);
    EXPECT_FALSE(result.interrupted);
}

// The Level3 shift goes down before Shift (a key that sets it may type something else with Shift held), and each
// stroke types in its group. A run starts in the user's group with no modifier down and ends the same way.
TEST(KeyPlayback, Level3GoesDownBeforeShiftAndEveryRunSetsItsGroupAgain) {
    FakeKeySender sender;
    TTypingPlan plan = Plan({{{}, 0, {{38, 0, 1}, {93, 2, 3}, {93, 2, 2}, {38, 0, 0}}}});
    plan.level3Keycode = 92;
    PlayPlan(plan, sender);
    EXPECT_EQ(sender.Log(), (Log{"+50", "+38", "-38", "-50", "+92", "+50", "group 2", "+93", "-93", "-50", "+93", "-93",
                                 "-92", "group 0", "+38", "-38"}));

    FakeKeySender twoRuns;
    plan.batches = {{{}, 0, std::vector<TKeyStroke>(17, {93, 2, 2})}};
    PlayPlan(plan, twoRuns);
    const Log& log = twoRuns.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "group 2"), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "+92"), 2);
    EXPECT_EQ(log.back(), "-92");
}

// The strokes go in runs under one check each; Shift is never down between runs, where a key pressed by another
// client would carry it.
TEST(KeyPlayback, ShiftIsUpBetweenRunsOfStrokes) {
    FakeKeySender sender;
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, std::vector<TKeyStroke>(20, {38, 0, 1})}}), sender);
    const Log& log = sender.Log();
    ASSERT_EQ(log.size(), 2u * 20 + 4);
    EXPECT_EQ(log.front(), "+50");
    EXPECT_EQ(sender.Runs(), 2u);
    EXPECT_EQ((Log{log.begin() + 32, log.begin() + 35}), (Log{"-38", "-50", "+50"}));
    EXPECT_EQ(log.back(), "-50");
    EXPECT_EQ(result.strokes, 20u);
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
    EXPECT_EQ(sender.Log(), (Log{"bind 93=0xe9/0xfc", "+93", "-93", "+50", "+93", "-93", "-50", "+38", "-38", "read 2",
                                 "bind 93=0xdf", "+93", "-93", "read 4", "unbind 93"}));
}

TEST(KeyPlayback, StopsWhenTypingMayNotContinueAndLeavesShiftUp) {
    FakeKeySender sender;
    sender.StopAfterKeys(1);
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, std::vector<TKeyStroke>(20, {38, 0, 1})}}), sender);
    EXPECT_EQ(sender.Log().size(), 2u * 16 + 2);
    EXPECT_EQ(sender.Log().back(), "-50"); // nothing was bound: nothing to put back
    EXPECT_EQ(result.strokes, 16u);
    EXPECT_TRUE(result.interrupted);
}

// While a user's key is down (a grabbed hotkey pressed again), X would give our keys to the hotkey's grab: a run of
// strokes waits for it, with none of our keys down.
TEST(KeyPlayback, ARunWaitsWhileTheUserHoldsAKey) {
    FakeKeySender sender;
    sender.UserKeyAtKeys(0, 2); // two checks see the user's key
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, 0, 1}, {10, 0, 0}}}}), sender);
    EXPECT_EQ(sender.Log(),
              (Log{"held", "await user keys", "held", "await user keys", "+50", "+38", "-38", "-50", "+10", "-10"}));
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

} // namespace
} // namespace velmora
