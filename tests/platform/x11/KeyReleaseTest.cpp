#include "platform/x11/KeyRelease.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

namespace velmora {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kCtrl = 37;
constexpr unsigned kShift = 50;
constexpr unsigned kF5 = 71;
constexpr unsigned kTalk = 118; ///< a push-to-talk key of another program

/// A keyboard whose keys are let go of at given moments; time passes only in Pause.
class TFakeKeyboard final : public IKeyboardState {
public:
    /// The key is held until `releasedAt` (for ever when none).
    void Hold(unsigned keycode, std::optional<std::chrono::milliseconds> releasedAt = std::nullopt) {
        FHeld[keycode] = releasedAt;
    }
    void CancelAt(std::chrono::milliseconds moment) { FCancelAt = moment; }

    std::vector<unsigned> HeldKeys() override {
        std::vector<unsigned> held;
        for (const auto& [keycode, releasedAt] : FHeld) {
            if ((!releasedAt || FNow < *releasedAt) && Around.count(keycode) == 0) {
                held.push_back(keycode);
            }
        }
        return held;
    }
    bool IsModifier(unsigned keycode) override { return keycode == kCtrl || keycode == kShift; }
    bool MayRelease(unsigned keycode) override { return IsModifier(keycode) || keycode == kF5; }
    void TypeAround(unsigned keycode) override { Around.insert(keycode); }
    void Release(unsigned keycode) override {
        Released.push_back(keycode);
        FHeld.erase(keycode);
    }
    bool Pause(std::chrono::milliseconds duration) override {
        FNow += duration;
        return !FCancelAt || FNow < *FCancelAt;
    }

    std::chrono::milliseconds Now() const { return FNow; }
    std::vector<unsigned> Released;
    std::set<unsigned> Around;

private:
    std::map<unsigned, std::optional<std::chrono::milliseconds>> FHeld;
    std::chrono::milliseconds FNow{0};
    std::optional<std::chrono::milliseconds> FCancelAt;
};

TEST(KeyRelease, NothingHeldMeansNoWait) {
    TFakeKeyboard keyboard;
    const TReleaseOutcome outcome = AwaitKeysReleased(keyboard);
    EXPECT_EQ(keyboard.Now(), 0ms);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_TRUE(outcome.released.empty());
}

TEST(KeyRelease, WaitsUntilTheHotkeyAndItsModifierAreLetGo) {
    TFakeKeyboard keyboard;
    keyboard.Hold(kF5, 120ms);
    keyboard.Hold(kCtrl, 300ms);
    const TReleaseOutcome outcome = AwaitKeysReleased(keyboard, 2000ms, 10ms);
    EXPECT_EQ(keyboard.Now(), 300ms);
    EXPECT_TRUE(outcome.released.empty());
    EXPECT_TRUE(keyboard.Released.empty());
}

// The hotkey's own key and the modifiers are let go of at the bound; a key the user holds for another program
// (push-to-talk) stays down, untouched, and is typed around.
TEST(KeyRelease, AtTheBoundOnlyTheHotkeysKeysAndModifiersAreReleasedModifiersFirst) {
    TFakeKeyboard keyboard;
    keyboard.Hold(kTalk);
    keyboard.Hold(kCtrl);
    keyboard.Hold(kF5);
    keyboard.Hold(kShift, 500ms);
    const TReleaseOutcome outcome = AwaitKeysReleased(keyboard, 2000ms, 10ms);
    EXPECT_EQ(keyboard.Now(), 2000ms);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.released, (std::vector<unsigned>{kCtrl, kF5}));
    EXPECT_EQ(keyboard.Released, (std::vector<unsigned>{kCtrl, kF5}));
    EXPECT_EQ(outcome.left, (std::vector<unsigned>{kTalk}));
    EXPECT_TRUE(keyboard.HeldKeys().empty());
    EXPECT_TRUE(AwaitKeysReleased(keyboard, 2000ms, 10ms).left.empty()); // no second wait for the same key
    EXPECT_EQ(keyboard.Now(), 2000ms);
}

TEST(KeyRelease, StoppingDuringTheWaitReleasesNothing) {
    TFakeKeyboard keyboard;
    keyboard.Hold(kCtrl);
    keyboard.CancelAt(50ms);
    const TReleaseOutcome outcome = AwaitKeysReleased(keyboard, 2000ms, 10ms);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(keyboard.Now(), 50ms);
    EXPECT_TRUE(keyboard.Released.empty());
}

} // namespace
} // namespace velmora
