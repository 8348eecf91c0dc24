#include "TextCodec.h"

#include <array>
#include <cstdint>

namespace velmora {
namespace {

// windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control of the same value, as the common converters do.
constexpr std::array<char32_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kReplacement = 0xFFFD;

std::uint8_t ByteAt(std::string_view bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

// Length of the well-formed UTF-8 sequence starting at `i`, or 0 when there is none.
std::size_t SequenceLength(std::string_view bytes, std::size_t i) {
    const std::uint8_t lead = ByteAt(bytes, i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80; // bounds of the second byte (they exclude overlong forms, surrogates, > U+10FFFF)
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    const std::uint8_t second = ByteAt(bytes, i + 1);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((ByteAt(bytes, i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

char32_t DecodeSequence(std::string_view bytes, std::size_t i, std::size_t length) {
    static constexpr std::uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t code = ByteAt(bytes, i) & kLeadMask[length];
    for (std::size_t k = 1; k < length; ++k) {
        code = code << 6 | (ByteAt(bytes, i + k) & 0x3F);
    }
    return code;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::u32string TextToUnicode(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        std::u32string text;
        text.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size();) {
            const std::size_t length = SequenceLength(bytes, i);
            text += DecodeSequence(bytes, i, length);
            i += length;
        }
        return text;
    }
    return Windows1252ToUnicode(bytes);
}

std::u32string Windows1252ToUnicode(std::string_view bytes) {
    std::u32string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = ByteAt(bytes, i);
        text += byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : char32_t{byte};
    }
    return text;
}

std::string UnicodeToText(std::u32string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char32_t code : text) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = kReplacement; // not a character: UTF-8 has no form for it
        }
        if (code < 0x80) {
            bytes += static_cast<char>(code);
        } else if (code < 0x800) {
            bytes += static_cast<char>(0xC0 | code >> 6);
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes += static_cast<char>(0xE0 | code >> 12);
            bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | code >> 18);
            bytes += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

} // namespace velmora
