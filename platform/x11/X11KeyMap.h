#pragma once

#include <X11/X.h>

#include <cstdint>

namespace velmora {

/// The keysym of the key a virtual-key code names, or NoSymbol for a code without a key (mouse buttons, unnamed codes).
KeySym VirtualKeyToKeysym(std::int32_t virtualKey);

} // namespace velmora
