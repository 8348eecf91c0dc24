#include "core/Conversion.h"

#include <gtest/gtest.h>

#include <string>

using velmora::ConversionError;
using velmora::ParseBoolean;
using velmora::ParseInteger;

namespace {

// The message of the ConversionError that `parse` throws, or "" when it throws nothing.
template <typename F>
std::string ErrorOf(F parse) {
    try {
        parse();
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Conversion, IntegersAsWrittenAndAtTheEdgesOf32Bits) {
    EXPECT_EQ(ParseInteger("a", "0"), 0);
    EXPECT_EQ(ParseInteger("a", "-17"), -17);
    EXPECT_EQ(ParseInteger("a", "+17"), 17);
    EXPECT_EQ(ParseInteger("a", "007"), 7);
    EXPECT_EQ(ParseInteger("a", "2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("a", "-2147483648"), -2147483647 - 1);
}

TEST(Conversion, NonIntegersAndOutOfRangeValuesNameTheAttributeAndTheValue) {
    EXPECT_EQ(ErrorOf([] { ParseInteger("FHKCtrl", "x"); }), "Attribute \"FHKCtrl\": \"x\" is not an integer");
    EXPECT_EQ(ErrorOf([] { ParseInteger("FHKChar", ""); }), "Attribute \"FHKChar\": \"\" is not an integer");
    for (const char* bad : {"-", "+", "1 ", " 1", "1.0", "0x10", "--1", "1e3"}) {
        EXPECT_NE(ErrorOf([bad] { ParseInteger("FHKChar", bad); }), "") << bad;
    }
    const std::string tooBig = ErrorOf([] { ParseInteger("FHKChar", "2147483648"); });
    EXPECT_NE(tooBig.find("\"FHKChar\""), std::string::npos);
    EXPECT_NE(tooBig.find("\"2147483648\""), std::string::npos);
    EXPECT_NE(ErrorOf([] { ParseInteger("FHKChar", "-2147483649"); }), "");
}

TEST(Conversion, BooleansInAnyCaseOrAsNumbers) {
    for (const char* yes :
         {"True", "true", "TRUE", "tRuE", "1", "-1", "42", "0000000000000000000001", "1.0", "0.5", "-2.5e3", ".1"}) {
        EXPECT_TRUE(ParseBoolean("checked", yes)) << yes;
    }
    for (const char* no : {"False", "false", "FALSE", "0", "-0", "000", "0.0", "0e5"}) {
        EXPECT_FALSE(ParseBoolean("checked", no)) << no;
    }
    EXPECT_EQ(ErrorOf([] { ParseBoolean("checked", "yes"); }),
              "Attribute \"checked\": \"yes\" is not a Boolean (\"True\", \"False\" or a number)");
    for (const char* bad : {"", "T", "truee", " true", "no", ".", "1..0", "1e", "1.0x"}) {
        EXPECT_NE(ErrorOf([bad] { ParseBoolean("checked", bad); }), "") << bad;
    }
}
