#pragma once

#include <string>
#include <string_view>

namespace velmora {

/// Turns a snippet's bytes into Unicode code points: UTF-8 when the bytes are valid UTF-8, otherwise
/// windows-1252 (texts written elsewhere in a legacy code page).
std::u32string TextToUnicode(std::string_view bytes);

/// Reads every byte as windows-1252; the five bytes that code page leaves undefined become U+0081, U+008D, U+008F,
/// U+0090 and U+009D.
std::u32string Windows1252ToUnicode(std::string_view bytes);

/// Turns Unicode code points into the bytes stored for a snippet (UTF-8).
std::string UnicodeToText(std::u32string_view text);

/// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

} // namespace velmora
