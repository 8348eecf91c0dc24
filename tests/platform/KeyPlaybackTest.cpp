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

TEST(KeyPlayback, TapsEachKeyAndHoldsShiftOnlyAcrossShiftedStrokes) {
    TRecordingKeySender sender;
    // a A B b: Shift goes down once for "AB" and is up again before "b".
    const TPlaybackResult result = PlayPlan(Plan({{{}, {{38, false}, {38, true}, {56, true}, {56, false}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+38", "-38", "+50", "+38", "-38", "+56", "-56", "-50", "+56", "-56"}));
    EXPECT_EQ(result.strokes, 4u);
    EXPECT_FALSE(result.interrupted);
}

TEST(KeyPlayback, ShiftIsLetGoAtTheEnd) {
    TRecordingKeySender sender;
    PlayPlan(Plan({{{}, {{38, true}}}}), sender);
    EXPECT_EQ(sender.Log(), (Log{"+50", "+38", "-38", "-50"}));
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

} // namespace
} // namespace velmora
