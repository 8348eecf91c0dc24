#include "SnippetTokens.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace velmora {

namespace {

constexpr std::array<std::string_view, 13> kNamedKeys = {"TAB",  "ENTER", "ESC",  "BACKSPACE", "DELETE", "UP",  "DOWN",
                                                         "LEFT", "RIGHT", "HOME", "END",       "PGUP",   "PGDN"};
constexpr std::string_view kKeyHelp = "a key token is one of {TAB} {ENTER} {ESC} {BACKSPACE} {DELETE} {UP} {DOWN} "
                                      "{LEFT} {RIGHT} {HOME} {END} {PGUP} {PGDN} {F1}…{F12} or {KEY ctrl+a}";

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

/// "TAB", "F5"...: the canonical name of a named key, or none.
std::optional<std::string> NamedKey(std::string_view name) {
    const std::string upper = Upper(name);
    if (std::find(kNamedKeys.begin(), kNamedKeys.end(), upper) != kNamedKeys.end()) {
        return upper;
    }
    if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F' &&
        std::all_of(upper.begin() + 1, upper.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
        const int number = std::stoi(upper.substr(1));
        if (number >= 1 && number <= 12 && upper[1] != '0') {
            return upper;
        }
    }
    return std::nullopt;
}

/// The chord of "ctrl+shift+a": modifiers in any order and case, then one key; none when malformed.
std::optional<TKeyChord> ParseChord(std::string_view chordText) {
    TKeyChord chord;
    while (true) {
        const std::size_t plus = chordText.find('+', 1); // "+" alone, or a trailing "+", is the key itself
        if (plus == std::string_view::npos) {
            break;
        }
        const std::string modifier = Upper(chordText.substr(0, plus));
        bool* flag = modifier == "CTRL"    ? &chord.ctrl
                     : modifier == "ALT"   ? &chord.alt
                     : modifier == "SHIFT" ? &chord.shift
                     : modifier == "SUPER" ? &chord.super
                                           : nullptr;
        if (flag == nullptr || *flag) {
            return std::nullopt;
        }
        *flag = true;
        chordText.remove_prefix(plus + 1);
    }
    if (const std::optional<std::string> named = NamedKey(chordText)) {
        chord.key = *named;
        return chord;
    }
    if (chordText.size() == 1 && chordText[0] > ' ' && chordText[0] < 0x7F) {
        chord.key = std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(chordText[0]))));
        return chord;
    }
    return std::nullopt;
}

class TReader {
public:
    explicit TReader(std::string_view text) : FText(text) {}

    TSnippetParse Read() {
        for (std::size_t at = 0; at < FText.size() && !FResult.error;) {
            const char c = FText[at];
            if ((c == '{' || c == '}') && at + 1 < FText.size() && FText[at + 1] == c) {
                AddText(std::string_view(&FText[at], 1));
                at += 2;
            } else if (c == '{') {
                at = ReadToken(at);
            } else if (c == '}') {
                Fail(at, "a lone \"}\": write \"}}\" for a brace");
            } else {
                const std::size_t next = FText.find_first_of("{}", at);
                const std::size_t end = next == std::string_view::npos ? FText.size() : next;
                AddText(FText.substr(at, end - at));
                at = end;
            }
        }
        if (FResult.error) {
            FResult.pieces.clear();
        }
        return std::move(FResult);
    }

private:
    /// Reads the token that starts at `open`; returns the offset after it.
    std::size_t ReadToken(std::size_t open) {
        const std::size_t close = FText.find('}', open + 1);
        const std::size_t nested = FText.find('{', open + 1);
        if (close == std::string_view::npos || (nested != std::string_view::npos && nested < close)) {
            Fail(open, "a \"{\" without its \"}\": write \"{{\" for a brace");
            return FText.size();
        }
        const std::string_view body = FText.substr(open + 1, close - open - 1);
        const std::size_t space = body.find(' ');
        const std::string name = Upper(body.substr(0, space));
        const std::string_view argument = space == std::string_view::npos ? std::string_view() : body.substr(space + 1);
        const bool bare = space == std::string_view::npos;
        TSnippetPiece piece;
        if (const std::optional<std::string> key = bare ? NamedKey(name) : std::nullopt) {
            piece.kind = TSnippetPiece::Kind::Key;
            piece.chord.key = *key;
        } else if (name == "KEY" && !bare) {
            const std::optional<TKeyChord> chord = ParseChord(argument);
            if (!chord) {
                Fail(open, "{" + std::string(body) + "}: " + std::string(kKeyHelp) +
                               ", with ctrl, alt, shift or super joined by \"+\"");
                return FText.size();
            }
            piece.kind = TSnippetPiece::Kind::Key;
            piece.chord = *chord;
        } else if (name == "DELAY" && !bare) {
            unsigned ms = 0;
            const auto [end, error] = std::from_chars(argument.data(), argument.data() + argument.size(), ms);
            if (error != std::errc() || end != argument.data() + argument.size() || ms > kLongestTokenDelay) {
                Fail(open, "{" + std::string(body) + "}: a pause is {DELAY n}, n from 0 to 60000 milliseconds");
                return FText.size();
            }
            piece.kind = TSnippetPiece::Kind::Delay;
            piece.milliseconds = ms;
        } else if ((name == "DATE" || name == "TIME") && (bare || !argument.empty())) {
            piece.kind = name == "DATE" ? TSnippetPiece::Kind::Date : TSnippetPiece::Kind::Time;
            piece.text = bare ? (name == "DATE" ? "yyyy-MM-dd" : "HH:mm") : std::string(argument);
        } else if (name == "CLIPBOARD" && bare) {
            piece.kind = TSnippetPiece::Kind::Clipboard;
        } else if (name == "CURSOR" && bare) {
            if (FCursor) {
                Fail(open, "a second {CURSOR}: the caret can go back to one place only");
                return FText.size();
            }
            FCursor = true;
            piece.kind = TSnippetPiece::Kind::Cursor;
        } else {
            Fail(open, "{" + std::string(body) + "} is no token: " + std::string(kKeyHelp) +
                           "; or {DELAY ms}, {DATE format}, {TIME format}, {CLIPBOARD}, {CURSOR}; \"{{\" for a brace");
            return FText.size();
        }
        FResult.pieces.push_back(std::move(piece));
        return close + 1;
    }

    void AddText(std::string_view characters) {
        if (FResult.pieces.empty() || FResult.pieces.back().kind != TSnippetPiece::Kind::Text) {
            FResult.pieces.push_back({});
        }
        FResult.pieces.back().text += characters;
    }

    void Fail(std::size_t offset, std::string message) { FResult.error = TTokenError{offset, std::move(message)}; }

    std::string_view FText;
    TSnippetParse FResult;
    bool FCursor = false;
};

std::string Doubled(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '{' || c == '}') {
            out += c;
        }
    }
    return out;
}

} // namespace

TSnippetParse ParseSnippet(std::string_view text) {
    return TReader(text).Read();
}

std::string FormatSnippet(const std::vector<TSnippetPiece>& pieces) {
    std::string out;
    for (const TSnippetPiece& piece : pieces) {
        switch (piece.kind) {
        case TSnippetPiece::Kind::Text:
            out += Doubled(piece.text);
            break;
        case TSnippetPiece::Kind::Key: {
            const TKeyChord& chord = piece.chord;
            const bool modified = chord.ctrl || chord.alt || chord.shift || chord.super;
            if (!modified && NamedKey(chord.key)) {
                out += "{" + chord.key + "}";
                break;
            }
            out += "{KEY ";
            out += chord.ctrl ? "ctrl+" : "";
            out += chord.alt ? "alt+" : "";
            out += chord.shift ? "shift+" : "";
            out += chord.super ? "super+" : "";
            out += chord.key + "}";
            break;
        }
        case TSnippetPiece::Kind::Delay:
            out += "{DELAY " + std::to_string(piece.milliseconds) + "}";
            break;
        case TSnippetPiece::Kind::Date:
            out += "{DATE " + piece.text + "}";
            break;
        case TSnippetPiece::Kind::Time:
            out += "{TIME " + piece.text + "}";
            break;
        case TSnippetPiece::Kind::Clipboard:
            out += "{CLIPBOARD}";
            break;
        case TSnippetPiece::Kind::Cursor:
            out += "{CURSOR}";
            break;
        }
    }
    return out;
}

} // namespace velmora
