// DecodeBase64 on arbitrary text, and EncodeBase64 on arbitrary bytes. Properties: decoding never fails and gives
// "TT" exactly for a length that is not a multiple of 4, otherwise one to three bytes per group; a group of
// alphabet characters only encodes back to itself; encoding gives the standard padded form and decodes back to the
// same bytes.

#include "core/Base64.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool InAlphabet(char c) {
    return kAlphabet.find(c) != std::string_view::npos;
}

bool AllInAlphabet(std::string_view text) {
    for (const char c : text) {
        if (!InAlphabet(c)) {
            return false;
        }
    }
    return true;
}

void CheckDecode(std::string_view text) {
    const std::string decoded = velmora::DecodeBase64(text);
    if (text.size() % 4 != 0) {
        FUZZ_CHECK(decoded == "TT");
        return;
    }
    const std::size_t groups = text.size() / 4;
    FUZZ_CHECK(decoded.size() >= groups && decoded.size() <= groups * 3);
    if (AllInAlphabet(text)) {
        // No padding: every group carries 24 bits, so nothing is dropped on the way back.
        FUZZ_CHECK(decoded.size() == groups * 3);
        FUZZ_CHECK(velmora::EncodeBase64(decoded) == text);
    }
}

void CheckEncode(std::string_view bytes) {
    const std::string encoded = velmora::EncodeBase64(bytes);
    FUZZ_CHECK(encoded.size() == (bytes.size() + 2) / 3 * 4);
    const std::size_t padding = (3 - bytes.size() % 3) % 3;
    FUZZ_CHECK(AllInAlphabet(std::string_view(encoded).substr(0, encoded.size() - padding)));
    FUZZ_CHECK(encoded.substr(encoded.size() - padding) == std::string(padding, '='));
    FUZZ_CHECK(velmora::DecodeBase64(encoded) == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckDecode(input);
    CheckEncode(input);
    return 0;
}
