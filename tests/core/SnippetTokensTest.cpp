#include "core/SnippetTokens.h"

#include <gtest/gtest.h>

#include <random>
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
        {"", {}},
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
        {"{F0}{F01}", 0, "is no token"},
        {"x{KEY ctrl+}", 1, "{KEY ctrl+}"},
        {"{KEY ctrl+ctrl+a}", 0, "joined by"},
        {"{KEY hyper+a}", 0, "joined by"},
        {"{KEY ctrl+ab}", 0, "joined by"},
        {"{DELAY 60001}", 0, "0 to 60000"},
        {"{DELAY -1}{DELAY 5x}", 0, "0 to 60000"},
        {"{DATE }", 0, "is no token"},
        {"{CURSOR}a{CURSOR}", 9, "a second {CURSOR}"},
        {"a}b", 1, "lone \"}\""},
        {"a{b", 1, "without its \"}\""},
        {"{a{TAB}", 0, "without its \"}\""},
        {"{}", 0, "{} is no token"},
    };
    for (const auto& c : cases) {
        const TSnippetParse parse = ParseSnippet(c.text);
        ASSERT_TRUE(parse.error) << c.text;
        EXPECT_EQ(parse.error->offset, c.offset) << c.text;
        EXPECT_NE(parse.error->message.find(c.says), std::string::npos) << c.text << ": " << parse.error->message;
        EXPECT_TRUE(parse.pieces.empty()) << c.text;
    }
}

TEST(SnippetTokens, WhatReadsWellIsWrittenBackToTheSamePieces) {
    // Texts built from token-like fragments: whatever reads without error formats back to the same pieces.
    const std::vector<std::string> fragments = {"a",
                                                "{",
                                                "}",
                                                "{{",
                                                "}}",
                                                "{TAB}",
                                                "{KEY ctrl+x}",
                                                "{DELAY 7}",
                                                "{DATE d}",
                                                "{TIME}",
                                                "{CURSOR}",
                                                "{CLIPBOARD}",
                                                " ",
                                                "ß",
                                                "{KEY +}",
                                                "{f5}",
                                                "{KEY alt+shift+pgup}",
                                                "漢"};
    const unsigned seed = 20261208;
    std::mt19937 random(seed);
    int read = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        for (int i = std::uniform_int_distribution<int>(0, 8)(random); i > 0; --i) {
            text += fragments[std::uniform_int_distribution<std::size_t>(0, fragments.size() - 1)(random)];
        }
        const TSnippetParse parse = ParseSnippet(text);
        if (parse.error) {
            continue;
        }
        ++read;
        const TSnippetParse again = ParseSnippet(FormatSnippet(parse.pieces));
        ASSERT_FALSE(again.error) << "seed " << seed << ", text " << text;
        ASSERT_EQ(again.pieces, parse.pieces) << "seed " << seed << ", text " << text;
    }
    EXPECT_GT(read, 500) << "the generator hardly made a text that reads";
}

} // namespace
} // namespace velmora
