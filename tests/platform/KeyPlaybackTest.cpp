#include "fakes/RecordingKeySender.h"

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

// Shift is never down between strokes: a key pressed by another client meanwhile would carry it.
TEST(KeyPlayback, TapsEachKeyWithShiftDownOnlyWithinTheStrokesThatNeedIt) {
    TRecordingKeySender sender;
    const TPlaybackResult result = PlayPlan(Plan({{{}, {{38, false}, {38, true}, {56, true}, {56, false}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+38", "-38", "+50", "+38", "-38", "-50", "+50", "+56", "-56", "-50", "+56", "-56"}));
    EXPECT_EQ(result.strokes, 4u);
    EXPECT_FALSE(result.interrupted);
}

TEST(KeyPlayback, EachBatchIsBoundOnceAndLaterBatchesWaitForTheTarget) {
    TRecordingKeySender sender;
    const TTypingPlan plan = Plan({
        {{{93, 0xE9, 0xFC}}, {{93, false}, {93, true}}},
        {{}, {{38, false}}}, // needs no binding: no wait either
        {{{93, 0xDF, 0}}, {{93, false}}},
    });
    PlayPlan(plan, sender);
    EXPECT_EQ(sender.Log(), (Log{"bind 93=0xe9/0xfc", "+93", "-93", "+50", "+93", "-93", "-50", "+38", "-38", "wait",
                                 "bind 93=0xdf/0x0", "+93", "-93"}));
}

TEST(KeyPlayback, StopsWhenTypingMayNotContinueAndLeavesShiftUp) {
    TRecordingKeySender sender;
    sender.StopAfterKeys(3);
    const TPlaybackResult result = PlayPlan(Plan({{{}, {{38, true}, {56, true}, {10, true}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+50", "+38", "-38", "-50"}));
    EXPECT_EQ(result.strokes, 1u);
    EXPECT_TRUE(result.interrupted);
}

// While a user's key is down (a grabbed hotkey pressed again), X would give our keys to the hotkey's grab: a stroke
// waits for it, with none of our keys down.
TEST(KeyPlayback, AStrokeWaitsWhileTheUserHoldsAKey) {
    TRecordingKeySender sender;
    sender.UserKeyAtKeys(4, 2); // after "+50 +38 -38 -50", two checks see the user's key
    const TPlaybackResult result = PlayPlan(Plan({{{}, {{38, true}, {56, true}, {10, false}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+50", "+38", "-38", "-50", "held", "await user keys", "held", "await user keys",
                                 "+50", "+56", "-56", "-50", "+10", "-10"}));
    EXPECT_EQ(result.strokes, 3u);
    EXPECT_FALSE(result.interrupted);
}

TEST(KeyPlayback, StoppingWhileWaitingForTheUsersKeysEndsTheText) {
    TRecordingKeySender sender;
    sender.UserKeyAtKeys(2, 1);
    sender.StopInUserWait();
    const TPlaybackResult result = PlayPlan(Plan({{{}, {{38, false}, {56, false}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+38", "-38", "held", "await user keys"}));
    EXPECT_EQ(result.strokes, 1u);
    EXPECT_TRUE(result.interrupted);
}

} // namespace
} // namespace velmora
