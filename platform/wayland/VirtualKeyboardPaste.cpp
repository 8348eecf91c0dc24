#include "VirtualKeyboardPaste.h"

#include <utility>
#include <vector>

namespace velmora {

namespace {

// Evdev codes, and the keymap's modifier masks (Shift is the first real modifier, Control the third).
constexpr std::uint32_t kLeftCtrl = 29;
constexpr std::uint32_t kLeftShift = 42;
constexpr std::uint32_t kV = 47;
constexpr std::uint32_t kInsert = 110;
constexpr std::uint32_t kShiftMask = 1;
constexpr std::uint32_t kControlMask = 4;

} // namespace

std::string PasteKeymap() {
    return "xkb_keymap {\nxkb_keycodes \"velmora\" {\nminimum = 8;\nmaximum = 255;\n"
           "<LCTL> = 37;\n<LFSH> = 50;\n<AB04> = 55;\n<INS> = 118;\n};\n"
           "xkb_types \"velmora\" { include \"complete\" };\n"
           "xkb_compatibility \"velmora\" { include \"complete\" };\n"
           "xkb_symbols \"velmora\" {\nkey <LCTL> { [ Control_L ] };\nkey <LFSH> { [ Shift_L ] };\n"
           "key <AB04> { [ v ] };\nkey <INS> { [ Insert ] };\n"
           "modifier_map Control { <LCTL> };\nmodifier_map Shift { <LFSH> };\n};\n};\n";
}

TPasteKeys VirtualKeyboardPasteKeys(TWaylandKeyboard& keyboard, PasteChord chord, ITypingTurn& turn,
                                    std::chrono::milliseconds settle) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> modifiers; // key, mask
    if (chord != PasteChord::ShiftInsert) {
        modifiers.emplace_back(kLeftCtrl, kControlMask);
    }
    if (chord != PasteChord::CtrlV) {
        modifiers.emplace_back(kLeftShift, kShiftMask);
    }
    const std::uint32_t key = chord == PasteChord::ShiftInsert ? kInsert : kV;
    return {[&keyboard, &turn, settle, modifiers, key] {
                keyboard.UploadKeymap(PasteKeymap());
                if (!turn.Pause(settle)) {
                    return;
                }
                std::uint32_t mask = 0;
                for (const auto& [modifier, bit] : modifiers) {
                    keyboard.Key(modifier, true);
                    keyboard.Modifiers(mask |= bit);
                }
                keyboard.Key(key, true);
                keyboard.Sync();
            },
            [&keyboard, modifiers, key] {
                keyboard.Key(key, false);
                for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
                    keyboard.Key(modifier->first, false);
                }
                keyboard.Modifiers(0);
                keyboard.Sync();
            }};
}

} // namespace velmora
