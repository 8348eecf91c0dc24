// The keymaps are compiled with libxkbcommon, as the compositor and the receiving application compile them: each
// planned key must give exactly its character.
#include "platform/wayland/KeymapPlan.h"
#include "platform/wayland/XkbHandles.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <set>

namespace velmora {
namespace {

/// What the batches type, read back through xkbcommon: the UTF-32 of every key in order.
std::u32string TypedBy(const std::vector<TKeymapBatch>& batches) {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    std::u32string typed;
    for (const TKeymapBatch& batch : batches) {
        const TXkbKeymap keymap(xkb_keymap_new_from_string(context.get(), batch.keymap.c_str(),
                                                           XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap) {
            ADD_FAILURE() << "the keymap does not compile:\n" << batch.keymap;
            return typed;
        }
        const TXkbState state(xkb_state_new(keymap.get()));
        for (const std::uint32_t key : batch.keys) {
            typed += static_cast<char32_t>(xkb_state_key_get_utf32(state.get(), key + 8));
        }
    }
    return typed;
}

TEST(KeymapPlan, EveryCharacterTabAndLineBreakComesOutExactly) {
    const std::string text =
        "Hello, World! \"#$%&'()*+-./:;<=>?@[\\]^_`{|}~ café Über straße 漢字テスト한국어 😀 \t x\r\ny\x01\x08\x1b\x7f";
    std::u32string dropped;
    const auto batches = PlanKeymaps(WalkBytes(text), dropped);
    ASSERT_EQ(batches.size(), 1U);
    EXPECT_TRUE(dropped.empty());
    EXPECT_EQ(
        TypedBy(batches),
        U"Hello, World! \"#$%&'()*+-./:;<=>?@[\\]^_`{|}~ café Über straße 漢字テスト한국어 😀 \t x\ry\x01\x08\x1b\x7f");
    // One key per distinct character: the repeated letters share theirs. Return and Tab are marked.
    EXPECT_EQ(batches[0].keys[2], batches[0].keys[3]);
    EXPECT_EQ(batches[0].breakKeys.size(), 2U);
}

/// The keys (evdev codes) that type a printable character other than space on a US keyboard with NumLock on.
std::set<std::uint32_t> UsCharacterKeys() {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
    const TXkbKeymap keymap(xkb_keymap_new_from_names(context.get(), &us, XKB_KEYMAP_COMPILE_NO_FLAGS));
    const TXkbState state(xkb_state_new(keymap.get()));
    xkb_state_update_mask(state.get(), 0, 0, 1U << xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_NUM), 0, 0, 0);
    std::set<std::uint32_t> keys;
    for (std::uint32_t key = 1; key < 248; ++key) {
        const std::uint32_t typed = xkb_state_key_get_utf32(state.get(), key + 8);
        if (typed > U' ' && typed != 0x7F) {
            keys.insert(key);
        }
    }
    return keys;
}

// Applications read keys by their position too (Chromium opens its Help tab for any character on F1's key): every
// key used must be one that types a character on an ordinary keyboard.
TEST(KeymapPlan, MoreDistinctCharactersThanKeysStartNewKeymapsOnCharacterKeysOnly) {
    std::u32string text;
    for (char32_t c = 0x4E00; c < 0x4E00 + 600; ++c) {
        text += c;
    }
    text += U"a\U0001F600a";
    std::u32string dropped;
    const auto batches = PlanKeymaps(WalkText(text), dropped);
    EXPECT_EQ(batches.size(), (602 + kMaxKeysPerKeymap - 1) / kMaxKeysPerKeymap);
    std::set<std::uint32_t> keys;
    for (const TKeymapBatch& batch : batches) {
        keys.insert(batch.keys.begin(), batch.keys.end());
    }
    EXPECT_EQ(keys.size(), kMaxKeysPerKeymap);
    const std::set<std::uint32_t> characterKeys = UsCharacterKeys();
    for (const std::uint32_t key : keys) {
        EXPECT_TRUE(characterKeys.contains(key)) << "evdev key " << key;
    }
    EXPECT_EQ(TypedBy(batches), text);
}

TEST(KeymapPlan, AnEmptyTextNeedsNoKeymapAndANonCharacterIsCountedNotTyped) {
    std::u32string dropped;
    EXPECT_TRUE(PlanKeymaps(WalkText(U""), dropped).empty());
    const auto batches = PlanKeymaps({{StrokeKind::Character, U'a'}, {StrokeKind::Character, 0x110000}}, dropped);
    EXPECT_EQ(dropped, std::u32string(1, 0x110000));
    EXPECT_EQ(TypedBy(batches), U"a");
}

} // namespace
} // namespace velmora
