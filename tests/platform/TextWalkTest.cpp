#include "platform/TextWalk.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

const TStroke kReturn{StrokeKind::Return, 0};
const TStroke kTab{StrokeKind::Tab, 0};

TStroke Char(char32_t c) {
    return {StrokeKind::Character, c};
}

TEST(TextWalk, EveryKindOfLineBreakIsOneReturn) {
    EXPECT_EQ(WalkText(U"a\r\nb\rc\nd"),
              (std::vector<TStroke>{Char('a'), kReturn, Char('b'), kReturn, Char('c'), kReturn, Char('d')}));
    // CR CR LF is a lone CR and a pair; LF CR is two lone breaks; a trailing CR is a break of its own.
    EXPECT_EQ(WalkText(U"\r\r\n"), (std::vector<TStroke>{kReturn, kReturn}));
    EXPECT_EQ(WalkText(U"\n\r"), (std::vector<TStroke>{kReturn, kReturn}));
    EXPECT_EQ(WalkText(U"x\r"), (std::vector<TStroke>{Char('x'), kReturn}));
}

TEST(TextWalk, TabIsTabAndOtherControlCharactersAreCharacters) {
    EXPECT_EQ(
        WalkText(U"\ta\x01\x1b\x7f"
                 U"b\u0085\u00a0"),
        (std::vector<TStroke>{kTab, Char('a'), Char(0x01), Char(0x1B), Char(0x7F), Char('b'), Char(0x85), Char(0xA0)}));
    EXPECT_TRUE(WalkText(U"").empty());
}

TEST(TextWalk, BytesAreReadAsUtf8) {
    EXPECT_EQ(WalkBytes("\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80\r\n"),
              (std::vector<TStroke>{Char(0xE9), Char(0x6F22), Char(0x1F600), kReturn}));
}

TEST(TextWalk, InvalidUtf8IsReadAsWindows1252) {
    EXPECT_EQ(WalkBytes("caf\xE9\x80"),
              (std::vector<TStroke>{Char('c'), Char('a'), Char('f'), Char(0xE9), Char(0x20AC)}));
    // A lead byte with nothing after it: the text is not UTF-8, so the byte is a windows-1252 character.
    EXPECT_EQ(WalkBytes("ab\xC3"), (std::vector<TStroke>{Char('a'), Char('b'), Char(0xC3)}));
}

} // namespace
} // namespace velmora
