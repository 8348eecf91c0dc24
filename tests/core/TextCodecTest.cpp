#include "core/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

using velmora::IsValidUtf8;
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
