#include "core/TextCodec.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

using velmora::AnsiCodePageOfLocale;
using velmora::CodePageToUnicode;
using velmora::IsValidUtf8;
using velmora::SetLegacyCodePage;
using velmora::TextToUnicode;
using velmora::UnicodeToText;

TEST(TextCodec, ValidUtf8IsDecodedUpToFourByteSequences) {
    // "A", e-acute (2 bytes), euro sign (3 bytes), a CJK character (3 bytes), G clef (4 bytes).
    const std::string bytes = "A\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9D\x84\x9E";
    EXPECT_EQ(TextToUnicode(bytes), U"A\u00E9\u20AC\u4E2D\U0001D11E");
    EXPECT_EQ(TextToUnicode(""), U"");
    EXPECT_EQ(TextToUnicode(std::string("a\0b", 3)), std::u32string(U"a\0b", 3));
    EXPECT_EQ(TextToUnicode("\xF4\x8F\xBF\xBF"), U"\U0010FFFF");
}

TEST(TextCodec, InvalidUtf8IsReadAsWindows1252ForTheWholeText) {
    // One stray byte makes the whole text legacy: the valid-looking "é" pair is then two 1252 characters.
    EXPECT_EQ(TextToUnicode("\xC3\xA9 caf\xE9"), U"\u00C3\u00A9 caf\u00E9");
    EXPECT_EQ(TextToUnicode("\x80\x8A\x9F\xFF"), U"\u20AC\u0160\u0178\u00FF");
    EXPECT_EQ(TextToUnicode("\x81\x8D\x8F\x90\x9D"), U"\u0081\u008D\u008F\u0090\u009D");
}

TEST(TextCodec, MalformedSequencesAreNotValidUtf8) {
    EXPECT_TRUE(IsValidUtf8("plain \xE2\x82\xAC"));
    for (const char* bad : {
             "\xC0\xAF",         // overlong "/"
             "\xE0\x80\xAF",     // overlong, 3 bytes
             "\xF0\x80\x80\xAF", // overlong, 4 bytes
             "\xED\xA0\x80",     // surrogate U+D800
             "\xF4\x90\x80\x80", // above U+10FFFF
             "\xF5\x80\x80\x80", // lead byte beyond the range
             "\xE2\x82",         // truncated at the end
             "\x80",             // continuation without a lead
             "\xC3\x28",         // lead followed by ASCII
         }) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
}

TEST(TextCodec, UnicodeRoundTripsThroughUtf8) {
    std::u32string all;
    for (char32_t c = 1; c < 0x3000; c += 7) {
        all += c;
    }
    all += U"\U0001F600\U0010FFFF";
    const std::string bytes = UnicodeToText(all);
    EXPECT_TRUE(IsValidUtf8(bytes));
    EXPECT_EQ(TextToUnicode(bytes), all);
    // Code points UTF-8 cannot hold become the replacement character.
    EXPECT_EQ(UnicodeToText(std::u32string{0xD800, 0x110000}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextCodec, BytesThatAreNotUtf8AreReadInTheChosenWindowsCodePage) {
    // 0xAA in 1253, 0xD9 in 1255, 0xDB in 874 are no characters; 1258 holds a letter back for an accent, which still
    // comes before a byte that cannot be read; any code page the system knows may be named (866).
    const std::tuple<int, std::string, std::u32string> cases[] = {
        {1251, "\xCF\xF0\xE8\xA8\xFF\x88\x98", U"\u041F\u0440\u0438\u0401\u044F\u20AC\u0098"},
        {1250, "\x8A\xB9\xF8\x81", U"\u0160\u0105\u0159\u0081"},
        {1253, "\xC1\xA2\xAA", U"\u0391\u0386\uFFFD"},
        {1254, "\xD0\xFD", U"\u011E\u0131"},
        {1255, "\xE0\xA4\xD9", U"\u05D0\u20AA\uFFFD"},
        {1256, "\xC7\x81", U"\u0627\u067E"},
        {1257, "\xC0\xE8", U"\u0104\u010D"},
        {1258, "\xC3\xD0\xFD\x61\xEC\x62\x61\x81", U"\u0102\u0110\u01B0\u00E1ba\u0081"}, // \x61 a, \x62 b
        {874, "\xA1\x80\xDB", U"\u0E01\u20AC\uFFFD"},
        {932, "\x82\xA0\x93\xFA\xB1\\\x82 \x82", U"\u3042\u65E5\uFF71\\\uFFFD \uFFFD"},
        {936, "\xC4\xE3\x80", U"\u4F60\u20AC"},
        {949, "\xB0\xA1\x81\x41", U"\uAC00\uAC02"},
        {950, "\xA4\xA4\xA1\x40", U"\u4E2D\u3000"},
        {866, "\x8F\xE0", U"\u041F\u0440"}};
    for (const auto& [codePage, bytes, text] : cases) {
        EXPECT_EQ(CodePageToUnicode(bytes, codePage), text) << codePage;
    }

    // Every snippet reads so once the code page is chosen; UTF-8 stays UTF-8.
    SetLegacyCodePage(1251);
    EXPECT_EQ(TextToUnicode("\xCF\xF0\xE8"), U"\u041F\u0440\u0438");
    EXPECT_EQ(TextToUnicode("\xC3\xA9"), U"\u00E9");
    EXPECT_THROW(SetLegacyCodePage(4242), std::invalid_argument);
    EXPECT_EQ(TextToUnicode("\xCF"), U"\u041F") << "a code page the system cannot read changes nothing";
    SetLegacyCodePage(1252);
}

TEST(TextCodec, TheLocaleGivesTheAnsiCodePageWindowsUsesForIt) {
    std::istringstream cases(
        "ru_RU.UTF-8:1251 uk_UA:1251 bg_BG.UTF-8:1251 sr_RS:1251 sr_RS@latin:1250 pl_PL.UTF-8:1250 "
        "cs_CZ:1250 hu_HU:1250 ro_RO:1250 el_GR.UTF-8:1253 tr_TR:1254 he_IL:1255 ar_EG:1256 "
        "lt_LT:1257 vi_VN:1258 th_TH:874 ja_JP.eucJP:932 zh_CN.UTF-8:936 zh_TW.UTF-8:950 "
        "zh_HK:950 ko_KR.UTF-8:949 de_DE.UTF-8:1252 C.UTF-8:1252 POSIX:1252 :1252");
    std::string locale;
    for (int codePage = 0; std::getline(cases >> std::ws, locale, ':') && cases >> codePage;) {
        EXPECT_EQ(AnsiCodePageOfLocale(locale), codePage) << locale;
    }
    EXPECT_TRUE(cases.eof()) << "every case was read";
}
