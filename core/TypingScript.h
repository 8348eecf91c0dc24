#pragma once

#include "SnippetTokens.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

/// One act of typing a row: characters, a key with its modifiers, or a pause.
struct TTypingStep {
    enum class Kind {
        Text,  ///< characters to type (`text`)
        Key,   ///< a key and its modifiers (`chord`)
        Pause, ///< a wait of `milliseconds`
    };
    Kind kind = Kind::Text;
    std::u32string text;
    TKeyChord chord;
    unsigned milliseconds = 0;
    friend bool operator==(const TTypingStep&, const TTypingStep&) = default;
};

/// The text (UTF-8) of a {DATE}, {TIME} or {CLIPBOARD} piece at the moment of the press.
using MomentResolver = std::function<std::string(const TSnippetPiece& piece)>;

/// How a row asks to be typed.
struct TScriptOptions {
    bool keys = false; ///< the text holds key tokens
    unsigned pace = 0; ///< milliseconds between two characters or keys
};

/// The steps that type a row's bytes: one Text step for a text without tokens (or with `keys` off); with `keys`, the
/// pieces in order, {DATE}, {TIME} and {CLIPBOARD} resolved now, and for {CURSOR} one Left key per character typed
/// after it (a line break, a base character with its combining marks, or an emoji sequence counts once). With a
/// pace, each character is a step of its own and a Pause goes between any two characters or keys. A text whose
/// tokens do not read is typed as it stands.
std::vector<TTypingStep> BuildTypingScript(std::string_view bytes, const TScriptOptions& options,
                                           const MomentResolver& resolve);

/// The characters of the script's Text steps, in order.
std::u32string ScriptText(const std::vector<TTypingStep>& steps);

/// The name a key has in a text ("{TAB}", "{KEY ctrl+shift+a}"), for telling the user of a key not pressed.
std::string ChordName(const TKeyChord& chord);

} // namespace velmora
