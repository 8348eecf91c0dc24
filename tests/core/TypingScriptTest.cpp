#include "core/TypingScript.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Kind = TTypingStep::Kind;

TTypingStep Text(std::u32string text) {
    return {Kind::Text, std::move(text), {}, 0};
}
TTypingStep Key(std::string key, bool ctrl = false) {
    return {Kind::Key, {}, TKeyChord{.ctrl = ctrl, .key = std::move(key)}, 0};
}
TTypingStep Pause(unsigned milliseconds) {
    return {Kind::Pause, {}, {}, milliseconds};
}

std::string Resolve(const TSnippetPiece& piece) {
    return piece.kind == TSnippetPiece::Kind::Clipboard ? "clip{" : "[" + piece.text + "]";
}

TEST(TypingScript, StepsOfARowByItsOptions) {
    struct TCase {
        std::string bytes;
        TScriptOptions options;
        std::vector<TTypingStep> steps;
    };
    const std::vector<TCase> cases = {
        // Without the keys option, or with tokens that do not read, braces are characters.
        {"a{TAB}b", {}, {Text(U"a{TAB}b")}},
        {"a{TAB", {true, 0}, {Text(U"a{TAB")}},
        {"user{TAB}pass{ENTER}", {true, 0}, {Text(U"user"), Key("TAB"), Text(U"pass"), Key("ENTER")}},
        {"{KEY ctrl+a}{DELAY 500}x", {true, 0}, {Key("a", true), Pause(500), Text(U"x")}},
        // Resolved pieces join their neighbours; what they bring is never read for tokens.
        {"d={DATE yyyy} {CLIPBOARD}!", {true, 0}, {Text(U"d=[yyyy] clip{!")}},
        // The caret goes back over what follows {CURSOR}: a line break (CR LF too), a letter with its accent and an
        // emoji sequence each count once.
        {"<{CURSOR}e\u0301\r\n\U0001F469\u200D\U0001F4BB>",
         {true, 0},
         {Text(U"<e\u0301\r\n\U0001F469\u200D\U0001F4BB>"), Key("LEFT"), Key("LEFT"), Key("LEFT"), Key("LEFT")}},
        // A pace puts a pause between any two characters or keys, never before the first or after the last.
        {"ab\r\n", {false, 30}, {Text(U"a"), Pause(30), Text(U"b"), Pause(30), Text(U"\r\n")}},
        {"a{TAB}", {true, 5}, {Text(U"a"), Pause(5), Key("TAB")}},
        {"{DELAY 0}", {true, 0}, {}},
    };
    for (const TCase& test : cases) {
        EXPECT_EQ(BuildTypingScript(test.bytes, test.options, Resolve), test.steps) << test.bytes;
    }
}

} // namespace
} // namespace velmora
