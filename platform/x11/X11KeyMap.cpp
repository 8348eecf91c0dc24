#include "X11KeyMap.h"

#include <X11/keysym.h>

#include <array>
#include <utility>

namespace velmora {

namespace {

// Named keys other than the digit, letter, keypad-digit and function-key ranges.
constexpr std::array<std::pair<std::int32_t, KeySym>, 43> kNamedKeys{{
    {0x03, XK_Cancel},     {0x08, XK_BackSpace},    {0x09, XK_Tab},        {0x0C, XK_Clear},
    {0x0D, XK_Return},     {0x10, XK_Shift_L},      {0x11, XK_Control_L},  {0x12, XK_Alt_L},
    {0x13, XK_Pause},      {0x14, XK_Caps_Lock},    {0x1B, XK_Escape},     {0x20, XK_space},
    {0x21, XK_Prior},      {0x22, XK_Next},         {0x23, XK_End},        {0x24, XK_Home},
    {0x25, XK_Left},       {0x26, XK_Up},           {0x27, XK_Right},      {0x28, XK_Down},
    {0x29, XK_Select},     {0x2B, XK_Execute},      {0x2C, XK_Print},      {0x2D, XK_Insert},
    {0x2E, XK_Delete},     {0x6A, XK_KP_Multiply},  {0x6B, XK_KP_Add},     {0x6D, XK_KP_Subtract},
    {0x6E, XK_KP_Decimal}, {0x6F, XK_KP_Divide},    {0x90, XK_Num_Lock},   {0x91, XK_Scroll_Lock},
    {0xBA, XK_semicolon},  {0xBB, XK_equal},        {0xBC, XK_comma},      {0xBD, XK_minus},
    {0xBE, XK_period},     {0xBF, XK_slash},        {0xC0, XK_grave},      {0xDB, XK_bracketleft},
    {0xDC, XK_backslash},  {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
}};

} // namespace

KeySym VirtualKeyToKeysym(std::int32_t virtualKey) {
    if (virtualKey >= 0x30 && virtualKey <= 0x39) {
        return XK_0 + static_cast<KeySym>(virtualKey - 0x30);
    }
    if (virtualKey >= 0x41 && virtualKey <= 0x5A) {
        return XK_a + static_cast<KeySym>(virtualKey - 0x41);
    }
    if (virtualKey >= 0x60 && virtualKey <= 0x69) {
        return XK_KP_0 + static_cast<KeySym>(virtualKey - 0x60);
    }
    if (virtualKey >= 0x70 && virtualKey <= 0x7B) {
        return XK_F1 + static_cast<KeySym>(virtualKey - 0x70);
    }
    for (const auto& [code, keysym] : kNamedKeys) {
        if (code == virtualKey) {
            return keysym;
        }
    }
    return NoSymbol;
}

} // namespace velmora
