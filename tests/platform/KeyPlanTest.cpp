#include "platform/x11/KeyPlan.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr unsigned kShift = 50;

/// A small US-like layout: a/A, b/B, 1/!, space, Return, Tab/ISO_Left_Tab, Shift_L, and seven free keycodes.
TKeyboardLayout Layout() {
    TKeyboardLayout layout;
    layout.keys = {{38, 'a', 'A'},       {56, 'b', 'B'},       {10, '1', '!'},          {65, ' ', ' '},
                   {36, 0xFF0D, 0xFF0D}, {23, 0xFF09, 0xFE20}, {kShift, 0xFFE1, 0xFFE1}};
    layout.freeKeycodes = {203, 93, 97, 103, 120, 200, 201};
    layout.shiftKeycode = kShift;
    return layout;
}

std::vector<TStroke> Strokes(std::u32string_view text) {
    return WalkText(text);
}

TEST(KeyPlan, KeysymsOfStrokes) {
    EXPECT_EQ(StrokeKeysym({StrokeKind::Return, 0}), 0xFF0Du);
    EXPECT_EQ(StrokeKeysym({StrokeKind::Tab, 0}), 0xFF09u);
    EXPECT_EQ(StrokeKeysym({StrokeKind::Character, U'~'}), 0x7Eu);
    EXPECT_EQ(StrokeKeysym({StrokeKind::Character, 0xE9}), 0xE9u);
    EXPECT_EQ(StrokeKeysym({StrokeKind::Character, 0x100}), 0x01000100u);
    EXPECT_EQ(StrokeKeysym({StrokeKind::Character, 0x20AC}), 0x010020ACu);
    EXPECT_EQ(StrokeKeysym({StrokeKind::Character, 0x1F600}), 0x0101F600u);
}

TEST(KeyPlan, CharactersOnTheLayoutUseTheirKeyAtLevelZeroOrOne) {
    const TTypingPlan plan = PlanTyping(Strokes(U"aA1! \r\n\t"), Layout());
    ASSERT_EQ(plan.batches.size(), 1u);
    EXPECT_TRUE(plan.batches[0].bindings.empty());
    EXPECT_EQ(plan.batches[0].strokes,
              (std::vector<TKeyStroke>{
                  {38, false}, {38, true}, {10, false}, {10, true}, {65, false}, {36, false}, {23, false}}));
    EXPECT_EQ(plan.shiftKeycode, kShift);
    EXPECT_EQ(plan.dropped, 0u);
}

TEST(KeyPlan, MissingCharactersAreBoundOnceTwoPerFreeKey) {
    const TTypingPlan plan = PlanTyping(Strokes(U"éaéü😀é"), Layout());
    ASSERT_EQ(plan.batches.size(), 1u);
    // Three missing characters need two keys: the two free keycodes closest together.
    EXPECT_EQ(plan.batches[0].bindings, (std::vector<TBinding>{{200, 0xE9, 0xFC}, {201, 0x0101F600, 0}}));
    EXPECT_EQ(
        plan.batches[0].strokes,
        (std::vector<TKeyStroke>{{200, false}, {38, false}, {200, false}, {200, true}, {201, false}, {200, false}}));
}

TEST(KeyPlan, MoreDistinctCharactersThanFreeKeysAreTypedInBatches) {
    TKeyboardLayout layout = Layout();
    layout.freeKeycodes = {93, 97}; // room for four characters at once
    const TTypingPlan plan = PlanTyping(Strokes(U"αβγδ a αε αβ"), layout);
    ASSERT_EQ(plan.batches.size(), 2u);
    EXPECT_EQ(plan.batches[0].bindings,
              (std::vector<TBinding>{{93, 0x10003B1, 0x10003B2}, {97, 0x10003B3, 0x10003B4}}));
    // The first batch runs up to the fifth distinct character (ε), the second binds only what it needs.
    EXPECT_EQ(plan.batches[0].strokes.size(), 8u);
    EXPECT_EQ(plan.batches[1].bindings, (std::vector<TBinding>{{93, 0x10003B5, 0x10003B1}, {97, 0x10003B2, 0}}));
    EXPECT_EQ(plan.batches[1].strokes, (std::vector<TKeyStroke>{{93, false}, {65, false}, {93, true}, {97, false}}));
}

TEST(KeyPlan, WithoutShiftKeyEveryBoundKeyHoldsOneCharacter) {
    TKeyboardLayout layout = Layout();
    layout.shiftKeycode = 0;
    const TTypingPlan plan = PlanTyping(Strokes(U"Aé"), layout);
    ASSERT_EQ(plan.batches.size(), 1u);
    EXPECT_EQ(plan.batches[0].bindings, (std::vector<TBinding>{{200, 'A', 0}, {201, 0xE9, 0}}));
    EXPECT_EQ(plan.batches[0].strokes, (std::vector<TKeyStroke>{{200, false}, {201, false}}));
}

TEST(KeyPlan, WithoutFreeKeysMissingCharactersAreDropped) {
    TKeyboardLayout layout = Layout();
    layout.freeKeycodes.clear();
    const TTypingPlan plan = PlanTyping(Strokes(U"aéb"), layout);
    ASSERT_EQ(plan.batches.size(), 1u);
    EXPECT_EQ(plan.batches[0].strokes, (std::vector<TKeyStroke>{{38, false}, {56, false}}));
    EXPECT_EQ(plan.dropped, 1u);
    EXPECT_TRUE(PlanTyping({}, Layout()).batches.empty());
}

TEST(KeyPlan, ClosestKeycodesSpanTheNarrowestRange) {
    EXPECT_EQ(ClosestKeycodes({203, 93, 97, 103, 120, 200, 201}, 3), (std::vector<unsigned>{200, 201, 203}));
    EXPECT_EQ(ClosestKeycodes({120, 93, 97}, 2), (std::vector<unsigned>{93, 97}));
    EXPECT_EQ(ClosestKeycodes({120, 93, 97}, 5), (std::vector<unsigned>{93, 97, 120}));
    EXPECT_TRUE(ClosestKeycodes({120, 93}, 0).empty());
}

} // namespace
} // namespace velmora
