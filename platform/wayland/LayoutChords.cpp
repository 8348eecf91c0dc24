#include "LayoutChords.h"

#include "XkbHandles.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace velmora {

namespace {

/// Keymap key codes are the Linux input codes plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;
constexpr std::size_t kMaxMaskOptions = 8;

} // namespace

std::optional<TLayoutChords> TLayoutChords::FromKeymap(const std::string& keymapText) {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return std::nullopt;
    }
    const TXkbKeymap keymap(xkb_keymap_new_from_string(context.get(), keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap || xkb_keymap_num_layouts(keymap.get()) != 1) {
        return std::nullopt;
    }
    const xkb_keycode_t first = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(keymap.get()), kEvdevOffset);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap.get());

    // The modifier keys, found by what pressing each does to a fresh state: the lowest key for each modifier
    // (left before right) serves to select levels.
    TLayoutChords chords;
    std::map<xkb_mod_mask_t, std::uint32_t> keyOfModifier;
    for (xkb_keycode_t key = first; key <= last; ++key) {
        const TXkbState state(xkb_state_new(keymap.get()));
        xkb_state_update_key(state.get(), key, XKB_KEY_DOWN);
        const xkb_mod_mask_t mods = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
        if (mods != 0) {
            chords.FModifierKeys.push_back(key - kEvdevOffset);
            for (xkb_mod_index_t bit = 0; bit < 32; ++bit) {
                if ((mods & (1U << bit)) != 0) {
                    keyOfModifier.emplace(1U << bit, key - kEvdevOffset);
                }
            }
        }
    }

    // Level by level, so that a keysym gets its lowest level on any key.
    std::map<std::uint32_t, xkb_level_index_t> levelOf;
    for (xkb_keycode_t key = first; key <= last; ++key) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap.get(), key, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap.get(), key, 0, level, &syms) != 1) {
                continue; // no keysym, or several at once
            }
            const auto known = levelOf.find(syms[0]);
            if (known != levelOf.end() && known->second <= level) {
                continue;
            }
            xkb_mod_mask_t masks[kMaxMaskOptions];
            const std::size_t options =
                xkb_keymap_key_get_mods_for_level(keymap.get(), key, 0, level, masks, kMaxMaskOptions);
            for (std::size_t option = 0; option < options; ++option) {
                TKeyLevel chord{key - kEvdevOffset, {}};
                bool reachable = true;
                for (xkb_mod_index_t bit = 0; bit < 32 && reachable; ++bit) {
                    if ((masks[option] & (1U << bit)) != 0) {
                        const auto modifier = keyOfModifier.find(1U << bit);
                        reachable = modifier != keyOfModifier.end();
                        if (reachable) {
                            chord.modifiers.push_back(modifier->second);
                        }
                    }
                }
                if (reachable) {
                    chords.FChords[syms[0]] = std::move(chord);
                    levelOf[syms[0]] = level;
                    break;
                }
            }
        }
    }
    return chords;
}

std::optional<std::vector<TKeyEvent>> TLayoutChords::Chord(std::uint32_t keysym) const {
    const auto found = FChords.find(keysym);
    if (found == FChords.end()) {
        return std::nullopt;
    }
    std::vector<TKeyEvent> events;
    for (const std::uint32_t modifier : found->second.modifiers) {
        events.push_back({modifier, true});
    }
    events.push_back({found->second.code, true});
    events.push_back({found->second.code, false});
    for (auto modifier = found->second.modifiers.rbegin(); modifier != found->second.modifiers.rend(); ++modifier) {
        events.push_back({*modifier, false});
    }
    return events;
}

} // namespace velmora
