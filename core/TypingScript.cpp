#include "TypingScript.h"

#include "TextCodec.h"

#include <utility>

namespace velmora {

namespace {

/// Whether a character joins the one before it on screen (the caret steps over both at once): combining marks,
/// variation selectors, emoji modifiers and tags, and the joiner with the character after it.
bool JoinsPrevious(char32_t character) {
    return (character >= 0x0300 && character <= 0x036F) || (character >= 0x1AB0 && character <= 0x1AFF) ||
           (character >= 0x1DC0 && character <= 0x1DFF) || (character >= 0x20D0 && character <= 0x20FF) ||
           (character >= 0xFE00 && character <= 0xFE0F) || (character >= 0xFE20 && character <= 0xFE2F) ||
           (character >= 0x1F3FB && character <= 0x1F3FF) || (character >= 0xE0020 && character <= 0xE007F) ||
           character == 0x200D;
}

/// How far the caret moves back over `text` with the Left key: one step per character as the eye sees it.
unsigned CaretSteps(std::u32string_view text) {
    unsigned steps = 0;
    bool joinNext = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t character = text[i];
        if (character == U'\n' && i > 0 && text[i - 1] == U'\r') {
            continue;
        }
        if (std::exchange(joinNext, character == 0x200D) || (i > 0 && JoinsPrevious(character))) {
            continue;
        }
        ++steps;
    }
    return steps;
}

/// The script being built, with its pace.
class TScriptWriter {
public:
    explicit TScriptWriter(unsigned pace) : FPace(pace) {}

    void Text(std::u32string_view text) {
        if (text.empty()) {
            return;
        }
        if (FPace == 0) {
            if (!FSteps.empty() && FSteps.back().kind == TTypingStep::Kind::Text) {
                FSteps.back().text += text;
            } else {
                Typed({TTypingStep::Kind::Text, std::u32string(text), {}, 0});
            }
            return;
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::size_t length = text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n' ? 2 : 1;
            Typed({TTypingStep::Kind::Text, std::u32string(text.substr(i, length)), {}, 0});
            i += length - 1;
        }
    }
    void Key(const TKeyChord& chord) { Typed({TTypingStep::Kind::Key, {}, chord, 0}); }
    void Pause(unsigned milliseconds) {
        if (milliseconds > 0) {
            FSteps.push_back({TTypingStep::Kind::Pause, {}, {}, milliseconds});
        }
    }
    std::vector<TTypingStep> Take() { return std::move(FSteps); }

private:
    /// Appends a step that types something, after the pace's pause when something was typed before it.
    void Typed(TTypingStep step) {
        if (FPace > 0 && FTypedBefore) {
            FSteps.push_back({TTypingStep::Kind::Pause, {}, {}, FPace});
        }
        FTypedBefore = true;
        FSteps.push_back(std::move(step));
    }

    const unsigned FPace;
    bool FTypedBefore = false;
    std::vector<TTypingStep> FSteps;
};

} // namespace

std::vector<TTypingStep> BuildTypingScript(std::string_view bytes, const TScriptOptions& options,
                                           const MomentResolver& resolve) {
    TScriptWriter script(options.pace);
    const TSnippetParse parse = options.keys ? ParseSnippet(bytes) : TSnippetParse{};
    if (!options.keys || parse.error) {
        script.Text(TextToUnicode(bytes));
        return script.Take();
    }
    bool cursorSeen = false;
    std::u32string afterCursor;
    for (const TSnippetPiece& piece : parse.pieces) {
        std::u32string characters;
        switch (piece.kind) {
        case TSnippetPiece::Kind::Text:
            characters = TextToUnicode(piece.text);
            break;
        case TSnippetPiece::Kind::Date:
        case TSnippetPiece::Kind::Time:
        case TSnippetPiece::Kind::Clipboard:
            characters = resolve ? TextToUnicode(resolve(piece)) : std::u32string();
            break;
        case TSnippetPiece::Kind::Key:
            script.Key(piece.chord);
            break;
        case TSnippetPiece::Kind::Delay:
            script.Pause(piece.milliseconds);
            break;
        case TSnippetPiece::Kind::Cursor:
            cursorSeen = true;
            break;
        }
        script.Text(characters);
        if (cursorSeen) {
            afterCursor += characters;
        }
    }
    const unsigned back = cursorSeen ? CaretSteps(afterCursor) : 0;
    for (unsigned step = 0; step < back; ++step) {
        script.Key(TKeyChord{.key = "LEFT"});
    }
    return script.Take();
}

std::u32string ScriptText(const std::vector<TTypingStep>& steps) {
    std::u32string text;
    for (const TTypingStep& step : steps) {
        if (step.kind == TTypingStep::Kind::Text) {
            text += step.text;
        }
    }
    return text;
}

std::string ChordName(const TKeyChord& chord) {
    TSnippetPiece key;
    key.kind = TSnippetPiece::Kind::Key;
    key.chord = chord;
    return FormatSnippet({key});
}

} // namespace velmora
