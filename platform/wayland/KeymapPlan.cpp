#include "KeymapPlan.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <map>

namespace velmora {

namespace {

constexpr std::uint32_t kFirstKeycode = 9;
constexpr std::uint32_t kEvdevOffset = 8;

} // namespace

std::uint32_t XkbKeysymOf(const TStroke& stroke) {
    switch (stroke.kind) {
    case StrokeKind::Return:
        return XKB_KEY_Return;
    case StrokeKind::Tab:
        return XKB_KEY_Tab;
    case StrokeKind::Character:
        break;
    }
    return xkb_utf32_to_keysym(stroke.character);
}

namespace {

std::string KeysymName(xkb_keysym_t keysym) {
    std::array<char, 64> name{};
    if (xkb_keysym_get_name(keysym, name.data(), name.size()) <= 0) {
        return {};
    }
    return name.data();
}

/// Builds one run's keymap from its keysyms, keycode 9 onwards in the order given.
std::string KeymapText(const std::vector<xkb_keysym_t>& keysyms) {
    const std::uint32_t last = kFirstKeycode + static_cast<std::uint32_t>(keysyms.size()) - 1;
    std::string text = "xkb_keymap {\nxkb_keycodes \"velmora\" {\nminimum = 8;\nmaximum = " +
                       std::to_string(std::max<std::uint32_t>(last, kFirstKeycode)) + ";\n";
    for (std::size_t i = 0; i < keysyms.size(); ++i) {
        const std::string code = std::to_string(kFirstKeycode + i);
        text += "<K" + code + "> = " + code + ";\n";
    }
    text += "};\nxkb_types \"velmora\" { include \"complete\" };\n"
            "xkb_compatibility \"velmora\" { include \"complete\" };\n"
            "xkb_symbols \"velmora\" {\n";
    for (std::size_t i = 0; i < keysyms.size(); ++i) {
        text += "key <K" + std::to_string(kFirstKeycode + i) + "> { [ " + KeysymName(keysyms[i]) + " ] };\n";
    }
    text += "};\n};\n";
    return text;
}

} // namespace

std::vector<TKeymapBatch> PlanKeymaps(const std::vector<TStroke>& strokes, std::u32string& dropped,
                                      std::size_t maxKeys) {
    std::vector<TKeymapBatch> batches;
    std::vector<xkb_keysym_t> keysyms;
    std::map<xkb_keysym_t, std::uint32_t> keyOf;
    TKeymapBatch batch;
    const auto close = [&] {
        if (!batch.keys.empty()) {
            batch.keymap = KeymapText(keysyms);
            batches.push_back(std::move(batch));
        }
        batch = {};
        keysyms.clear();
        keyOf.clear();
    };
    for (const TStroke& stroke : strokes) {
        const xkb_keysym_t keysym = XkbKeysymOf(stroke);
        if (keysym == XKB_KEY_NoSymbol || KeysymName(keysym).empty()) {
            dropped += stroke.character;
            continue;
        }
        auto found = keyOf.find(keysym);
        if (found == keyOf.end()) {
            if (keysyms.size() == maxKeys) {
                close();
            }
            const auto key = kFirstKeycode + static_cast<std::uint32_t>(keysyms.size()) - kEvdevOffset;
            keysyms.push_back(keysym);
            found = keyOf.emplace(keysym, key).first;
        }
        batch.keys.push_back(found->second);
    }
    close();
    return batches;
}

} // namespace velmora
