#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

/// A keyboard shortcut as GNOME's settings write it ("<Control><Alt>F5"), reduced to what decides which keys
/// press it: the modifiers and the key's name.
struct TAccelerator {
    unsigned modifiers = 0; ///< kAccel* flags
    std::string key;        ///< the keysym's name, single letters in lower case

    bool operator==(const TAccelerator&) const = default;
};

inline constexpr unsigned kAccelShift = 1;
inline constexpr unsigned kAccelControl = 2;
inline constexpr unsigned kAccelAlt = 4;
inline constexpr unsigned kAccelSuper = 8;
inline constexpr unsigned kAccelHyper = 16;
inline constexpr unsigned kAccelMeta = 32;

/// The accelerator GNOME's settings take for a hotkey (kMod* flags, a virtual-key code of F1-F12, 0-9, A-Z):
/// "<Control>F5", "<Alt>z", "F9". None for another key.
std::optional<std::string> GnomeAccelerator(unsigned modifiers, std::int32_t virtualKey);

/// What an accelerator string stands for: "<Primary>", "<Ctrl>" and "<Control>" are one modifier, names are
/// compared without case. None for an empty or malformed string ("disabled" included).
std::optional<TAccelerator> ParseAccelerator(std::string_view text);

/// The folder name of a row's custom shortcut written by the copy with this tag (CopyTag of its list folder):
/// "velmora-<tag>-row<N>".
std::string ShortcutName(const std::string& copyTag, std::size_t rowNumber);

/// Who wrote the custom shortcut at `path` (a settings path ending in such a name and "/"): the copy's tag, or the
/// process id that earlier versions named it by (digits only); none for a shortcut of someone else.
std::optional<std::string> ShortcutOwner(std::string_view path);

} // namespace velmora
