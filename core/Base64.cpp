#include "Base64.h"

#include <array>
#include <cstdint>

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

} // namespace

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    const auto byteAt = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = byteAt(i) << 16 | byteAt(i + 1) << 8 | byteAt(i + 2);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const std::uint32_t v = byteAt(i) << 16;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += "==";
    } else if (rest == 2) {
        const std::uint32_t v = byteAt(i) << 16 | byteAt(i + 1) << 8;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

std::string DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return "TT";
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    const auto sextet = [&](std::size_t k) {
        return static_cast<std::uint32_t>(kDecode[static_cast<unsigned char>(text[k])]);
    };
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const std::uint32_t v = sextet(i) << 18 | sextet(i + 1) << 12 | sextet(i + 2) << 6 | sextet(i + 3);
        out += static_cast<char>(v >> 16 & 0xFF);
        if (text[i + 2] == '=') {
            continue; // "xx==" (or "xx=?"): one byte
        }
        out += static_cast<char>(v >> 8 & 0xFF);
        if (text[i + 3] == '=') {
            continue; // "xxx=": two bytes
        }
        out += static_cast<char>(v & 0xFF);
    }
    return out;
}

} // namespace velmora
