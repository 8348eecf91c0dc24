#include "core/SnippetTokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using Kind = TSnippetPiece::Kind;

TSnippetPiece Text(std::string text) {
    return {Kind::Text, std::move(text), {}, 0};
}
TSnippetPiece Key(TKeyChord chord) {
    return {Kind::Key, {}, std::move(chord), 0};
}

TEST(SnippetTokens, EachTokenReadsAsItsPieceAndNeighbouringCharactersStayOnePiece) {
    const struct {
        std::string text;
        std::vector<TSnippetPiece> pieces;
    } cases[] = {
        {"user{TAB}pass{ENTER}", {Text("user"), Key({.key = "TAB"}), Text("pass"), Key({.key = "ENTER"})}},
        {"{esc}{Backspace}{f12}{PgDn}",
         {Key({.key = "ESC"}), Key({.key = "BACKSPACE"}), Key({.key = "F12"}), Key({.key = "PGDN"})}},
        {"{KEY ctrl+shift+A}", {Key({.ctrl = true, .shift = true, .key = "a"})}},
        {"{KEY Super+alt+F4}{KEY ctrl++}",
         {Key({.alt = true, .super = true, .key = "F4"}), Key({.ctrl = true, .key = "+"})}},
        {"a{DELAY 500}b{DELAY 60000}",
         {Text("a"), {Kind::Delay, {}, {}, 500}, Text("b"), {Kind::Delay, {}, {}, 60000}}},
        {"{DATE dd.MM.yyyy} {TIME}", {{Kind::Date, "dd.MM.yyyy", {}, 0}, Text(" "), {Kind::Time, "HH:mm", {}, 0}}},
        {"{CLIPBOARD}{CURSOR}", {{Kind::Clipboard, {}, {}, 0}, {Kind::Cursor, {}, {}, 0}}},
        {"{{x}} {{{TAB}}}", {Text("{x} {"), Key({.key = "TAB"}), Text("}")}},
    };
    for (const auto& c : cases) {
        const TSnippetParse parse = ParseSnippet(c.text);
        EXPECT_FALSE(parse.error) << c.text << ": " << parse.error->message;
        EXPECT_EQ(parse.pieces, c.pieces) << c.text;
    }
}

TEST(SnippetTokens, AMalformedOrUnknownTokenIsAnErrorWhereItStartsAndNothingElseIsRead) {
    const struct {
        std::string text;
        std::size_t offset;
        std::string says;
    } cases[] = {
        {"ab{TABB}", 2, "{TABB} is no token"},
        {"{F13}", 0, "is no token"},
        {"x{KEY ctrl+}", 1, "{KEY ctrl+}"},
        {"{KEY ctrl+ctrl+a}", 0, "joined by"},
        {"{KEY ctrl+ab}", 0, "joined by"},
        {"{DELAY 60001}", 0, "0 to 60000"},
        {"{DATE }", 0, "is no token"},
        {"{CURSOR}a{CURSOR}", 9, "a second {CURSOR}"},
        {"a}b", 1, "lone \"}\""},
        {"a{b", 1, "without its \"}\""},
    };
    for (const auto& c : cases) {
        const TSnippetParse parse = ParseSnippet(c.text);
        ASSERT_TRUE(parse.error) << c.text;
        EXPECT_EQ(parse.error->offset, c.offset) << c.text;
        EXPECT_NE(parse.error->message.find(c.says), std::string::npos) << c.text << ": " << parse.error->message;
        EXPECT_TRUE(parse.pieces.empty()) << c.text;
    }
}

} // namespace
} // namespace velmora
