#include "KeymapPlan.h"

#include "platform/Keysyms.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

namespace velmora {

namespace {

constexpr std::uint32_t kEvdevOffset = 8;

/// Builds one run's keymap from its keysyms, the i-th on the i-th of the typing keys.
std::string KeymapText(const std::vector<xkb_keysym_t>& keysyms) {
    std::string codes;
    std::string symbols;
    for (std::size_t i = 0; i < keysyms.size(); ++i) {
        const std::string code = std::to_string(kTypingKeys[i] + kEvdevOffset);
        codes += "<K" + code + "> = " + code + ";\n";
        symbols += "key <K" + code + "> { [ " + KeymapKeysymName(keysyms[i]) + " ] };\n";
    }
    return WholeKeymap(codes, symbols);
}

} // namespace

std::string KeymapKeysymName(std::uint32_t keysym) {
    std::array<char, 64> name{};
    if (xkb_keysym_get_name(keysym, name.data(), name.size()) <= 0) {
        return {};
    }
    if (xkb_keysym_from_name(name.data(), XKB_KEYSYM_NO_FLAGS) == keysym) {
        return name.data();
    }
    std::snprintf(name.data(), name.size(), "0x%08x", keysym);
    return name.data();
}

std::string WholeKeymap(const std::string& keycodes, const std::string& symbols) {
    return "xkb_keymap {\nxkb_keycodes \"velmora\" {\nminimum = 8;\nmaximum = 255;\n" + keycodes +
           "};\nxkb_types \"velmora\" { include \"complete\" };\n"
           "xkb_compatibility \"velmora\" { include \"complete\" };\n"
           "xkb_symbols \"velmora\" {\n" +
           symbols + "};\n};\n";
}

std::vector<TKeymapBatch> PlanKeymaps(const std::vector<TStroke>& strokes, std::u32string& dropped,
                                      std::size_t maxKeys) {
    maxKeys = std::clamp<std::size_t>(maxKeys, 1, kMaxKeysPerKeymap);
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
        if (keysym == XKB_KEY_NoSymbol || KeymapKeysymName(keysym).empty()) {
            dropped += stroke.character;
            continue;
        }
        auto found = keyOf.find(keysym);
        if (found == keyOf.end()) {
            if (keysyms.size() == maxKeys) {
                close();
            }
            const std::uint32_t key = kTypingKeys[keysyms.size()];
            keysyms.push_back(keysym);
            found = keyOf.emplace(keysym, key).first;
        }
        batch.keys.push_back(found->second);
        if (stroke.kind != StrokeKind::Character) {
            batch.breakKeys.insert(found->second);
        }
    }
    close();
    return batches;
}

} // namespace velmora
