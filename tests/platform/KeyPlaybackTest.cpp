#include "fakes/FakeKeySender.h"

#include <gtest/gtest.h>

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

TEST(KeyPlayback, TapsEachKeyAndHoldsShiftOnlyAcrossShiftedStrokes) {
    FakeKeySender sender;
    // a A B b: Shift goes down once for "AB" and is up again before "b".
    const TPlaybackResult result =
        PlayPlan(Plan({{{}, 0, {{38, false}, {38, true}, {56, true}, {56, false}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+38", "-38", "+50", "+38", "-38", "+56", "-56", "-50", "+56", "-56"}));
    EXPECT_EQ(result.strokes, 4u);
    EXPECT_FALSE(result.interrupted);
}

// The strokes go in runs under one check each; Shift is never down between runs, where a key pressed by another
// client would carry it.
TEST(KeyPlayback, ShiftIsUpBetweenRunsOfStrokes) {
    FakeKeySender sender;
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, std::vector<TKeyStroke>(20, {38, true})}}), sender);
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
        {{{93, 0xE9, 0xFC}}, 0, {{93, false}, {93, true}}},
        {{}, 0, {{38, false}}},
        {{{93, 0xDF, 0}}, 2, {{93, false}}},
    });
    PlayPlan(plan, sender);
    EXPECT_EQ(sender.Log(), (Log{"bind 93=0xe9/0xfc", "+93", "-93", "+50", "+93", "-93", "-50", "+38", "-38", "read 2",
                                 "bind 93=0xdf/0x0", "+93", "-93", "read 4", "unbind 93"}));
}

TEST(KeyPlayback, StopsWhenTypingMayNotContinueAndLeavesShiftUp) {
    FakeKeySender sender;
    sender.StopAfterKeys(1);
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, std::vector<TKeyStroke>(20, {38, true})}}), sender);
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
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, true}, {10, false}}}}), sender);
    EXPECT_EQ(sender.Log(),
              (Log{"held", "await user keys", "held", "await user keys", "+50", "+38", "-38", "-50", "+10", "-10"}));
    EXPECT_EQ(result.strokes, 2u);
    EXPECT_FALSE(result.interrupted);
}

TEST(KeyPlayback, StoppingWhileWaitingForTheUsersKeysEndsTheText) {
    FakeKeySender sender;
    sender.UserKeyAtKeys(0, 1);
    sender.StopInUserWait();
    const TPlaybackResult result = PlayPlan(Plan({{{}, 0, {{38, false}, {56, false}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"held", "await user keys"}));
    EXPECT_EQ(result.strokes, 0u);
    EXPECT_TRUE(result.interrupted);
}

} // namespace
} // namespace velmora
