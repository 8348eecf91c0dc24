#pragma once

#include <string_view>
#include <vector>

namespace velmora {

/// What one step of typing produces: a character, or one of the two keys that stand for layout in a text.
enum class StrokeKind { Character, Return, Tab };

/// One step of typing.
struct TStroke {
    StrokeKind kind = StrokeKind::Character;
    char32_t character = 0; ///< the character, for StrokeKind::Character

    bool operator==(const TStroke&) const = default;
};

/// Whether a code point is a control character (C0, DEL, C1): it names no text of its own.
constexpr bool IsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

/// The strokes of a text of code points: a line break (CR LF, lone CR, lone LF) is one Return, TAB is Tab, every
/// other code point is one character, control characters (C0, DEL, C1) included: the typist types them where the
/// window system can, and names them where it cannot.
std::vector<TStroke> WalkText(std::u32string_view text);

/// The strokes of a snippet's bytes, decoded as UTF-8, or windows-1252 when they are not valid UTF-8.
std::vector<TStroke> WalkBytes(std::string_view bytes);

} // namespace velmora
