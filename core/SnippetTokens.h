#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

/// The longest pause a text may ask for ({DELAY 60000}), in milliseconds.
inline constexpr unsigned kLongestTokenDelay = 60000;

/// A key pressed inside a text, with the modifiers held for it: {TAB}, {F5}, {KEY ctrl+shift+a}.
struct TKeyChord {
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
    bool super = false;
    /// The key: a named one in capitals ("TAB", "ENTER", "F5", "PGDN") or one printable ASCII character, a letter
    /// in lower case ("a", "7", "/").
    std::string key;
    friend bool operator==(const TKeyChord&, const TKeyChord&) = default;
};

/// One piece of a text that holds key tokens.
struct TSnippetPiece {
    enum class Kind {
        Text,      ///< characters to type (`text`, UTF-8 as the row's text is)
        Key,       ///< a key and its modifiers (`chord`)
        Delay,     ///< a pause (`milliseconds`)
        Date,      ///< the local date at the press in the format `text` (Qt's date format letters)
        Time,      ///< the local time at the press in the format `text`
        Clipboard, ///< the clipboard's text at the press
        Cursor,    ///< where the caret goes back to after the text
    };
    Kind kind = Kind::Text;
    std::string text;
    TKeyChord chord;
    unsigned milliseconds = 0;
    friend bool operator==(const TSnippetPiece&, const TSnippetPiece&) = default;
};

/// What is wrong with a token: where it starts (a byte offset into the text) and what to write instead.
struct TTokenError {
    std::size_t offset = 0;
    std::string message;
    friend bool operator==(const TTokenError&, const TTokenError&) = default;
};

/// A text read for its tokens: the pieces in order (neighbouring characters in one Text piece), or the first error.
struct TSnippetParse {
    std::vector<TSnippetPiece> pieces;
    std::optional<TTokenError> error;
};

/// Reads the tokens of a text: {TAB} {ENTER} {ESC} {BACKSPACE} {DELETE} {UP} {DOWN} {LEFT} {RIGHT} {HOME} {END}
/// {PGUP} {PGDN} {F1}...{F12}, {KEY chord} (ctrl, alt, shift, super and one key joined by "+"), {DELAY ms} (at most
/// 60,000), {DATE format}, {TIME format}, {CLIPBOARD}, {CURSOR} (once), and "{{" and "}}" for braces. Names are
/// read in any case. A malformed or unknown token, or a lone brace, is an error; the pieces are then empty.
TSnippetParse ParseSnippet(std::string_view text);

/// The text that reads back as these pieces (braces in Text pieces doubled); ParseSnippet(FormatSnippet(p)) gives p
/// for pieces ParseSnippet made.
std::string FormatSnippet(const std::vector<TSnippetPiece>& pieces);

} // namespace velmora
