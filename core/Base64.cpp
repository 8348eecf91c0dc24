#include "Base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace velmora {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Six-bit value of each alphabet character; characters outside the alphabet count as 0.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (std::uint8_t i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    }
    return table;
}
constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

// The two characters of every 12-bit value, so that three bytes become four characters in two look-ups.
constexpr std::array<char, 8192> MakePairTable() {
    std::array<char, 8192> table{};
    for (std::size_t v = 0; v < 4096; ++v) {
        table[2 * v] = kAlphabet[v >> 6];
        table[2 * v + 1] = kAlphabet[v & 63];
    }
    return table;
}
constexpr std::array<char, 8192> kPairs = MakePairTable();

} // namespace

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    AppendBase64(out, bytes);
    return out;
}

void AppendBase64(std::string& out, std::string_view bytes) {
    const std::size_t start = out.size();
    out.resize(start + Base64Size(bytes.size()));
    WriteBase64(out.data() + start, bytes);
}

char* WriteBase64(char* dst, std::string_view bytes) {
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v =
            static_cast<std::uint32_t>(src[i]) << 16 | static_cast<std::uint32_t>(src[i + 1]) << 8 | src[i + 2];
        std::memcpy(dst, &kPairs[2 * (v >> 12)], 2);
        std::memcpy(dst + 2, &kPairs[2 * (v & 0xFFF)], 2);
        dst += 4;
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        const std::uint32_t v =
            static_cast<std::uint32_t>(src[i]) << 16 | (rest == 2 ? static_cast<std::uint32_t>(src[i + 1]) << 8 : 0);
        dst[0] = kAlphabet[v >> 18 & 63];
        dst[1] = kAlphabet[v >> 12 & 63];
        dst[2] = rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
        dst[3] = '=';
        dst += 4;
    }
    return dst;
}

std::string DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return "TT";
    }
    std::string out(text.size() / 4 * 3, '\0');
    char* dst = out.data();
    const auto* src = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = src + text.size();
    for (; src != end; src += 4) {
        const std::uint32_t v = static_cast<std::uint32_t>(kDecode[src[0]]) << 18 |
                                static_cast<std::uint32_t>(kDecode[src[1]]) << 12 |
                                static_cast<std::uint32_t>(kDecode[src[2]]) << 6 | kDecode[src[3]];
        *dst++ = static_cast<char>(v >> 16 & 0xFF);
        if (src[2] == '=') {
            continue; // "xx==" (or "xx=?"): one byte
        }
        *dst++ = static_cast<char>(v >> 8 & 0xFF);
        if (src[3] == '=') {
            continue; // "xxx=": two bytes
        }
        *dst++ = static_cast<char>(v & 0xFF);
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return out;
}

} // namespace velmora
