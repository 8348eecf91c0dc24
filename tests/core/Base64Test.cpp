#include "core/Base64.h"

#include <gtest/gtest.h>

#include <string>

using velmora::DecodeBase64;
using velmora::EncodeBase64;

TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(EncodeBase64(plain), encoded) << plain;
        EXPECT_EQ(DecodeBase64(encoded), plain) << encoded;
    }
}

TEST(Base64, AllByteValuesRoundTripInOneUnbrokenRun) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    bytes += bytes; // several hundred bytes
    const std::string encoded = EncodeBase64(bytes);
    EXPECT_EQ(encoded.size(), (bytes.size() + 2) / 3 * 4);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(DecodeBase64(encoded), bytes);
}

TEST(Base64, LengthNotAMultipleOfFourGivesTT) {
    EXPECT_EQ(DecodeBase64("Zm9vY"), "TT");
    EXPECT_EQ(DecodeBase64("Z"), "TT");
    EXPECT_EQ(DecodeBase64("Zm9vYmE=x"), "TT");
}

TEST(Base64, PaddingMayCloseAGroupInTheMiddle) {
    // "Zg==" gives "f", "Zm8=" gives "fo"; each group stands alone.
    EXPECT_EQ(DecodeBase64("Zg==Zm8=Zm9v"), "ffofoo");
}

TEST(Base64, ForeignCharactersOfAWholeLengthDoNotFail) {
    EXPECT_EQ(DecodeBase64("Zm 9").size(), 3u);
}
