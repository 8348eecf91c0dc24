#include "TextCodec.h"

#include "Iconv.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

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

// Set once at start-up, read by the typing threads too.
std::atomic<int> gLegacyCodePage{1252};

// The iconv name of UTF-32 in this machine's byte order, which char32_t holds.
constexpr const char* kUtf32 = std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

std::string IconvName(int codePage) {
    return "CP" + std::to_string(codePage);
}

// The Windows code pages whose characters take one or two bytes; every other one is read a byte at a time.
bool IsDoubleByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

// Appends what iconv wrote into `buffer` up to `out`.
void AppendConverted(std::u32string& text, const char32_t* buffer, const char* out) {
    text.append(buffer, static_cast<std::size_t>(out - reinterpret_cast<const char*>(buffer)) / sizeof(char32_t));
}

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
    return CodePageToUnicode(bytes, LegacyCodePage());
}

int LegacyCodePage() {
    return gLegacyCodePage.load(std::memory_order_relaxed);
}

void SetLegacyCodePage(int codePage) {
    if (!CanReadCodePage(codePage)) {
        throw std::invalid_argument("The code page " + std::to_string(codePage) + " is not one this system can read");
    }
    gLegacyCodePage.store(codePage, std::memory_order_relaxed);
}

bool CanReadCodePage(int codePage) {
    return codePage == 1252 ||
           (codePage > 0 && codePage <= 65535 && TIconv(kUtf32, IconvName(codePage).c_str()).IsOpen());
}

int AnsiCodePageOfLocale(std::string_view locale) {
    std::string language(locale.substr(0, locale.find_first_of("_.@")));
    std::transform(language.begin(), language.end(), language.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    std::string_view territory;
    if (const std::size_t underscore = locale.find('_');
        underscore != std::string_view::npos && underscore == language.size()) {
        territory = locale.substr(underscore + 1);
        territory = territory.substr(0, territory.find_first_of(".@"));
    }
    const std::size_t at = locale.find('@');
    const std::string_view modifier = at == std::string_view::npos ? std::string_view() : locale.substr(at + 1);

    struct TGroup {
        int codePage;
        std::array<std::string_view, 12> languages;
    };
    static constexpr TGroup kGroups[] = {
        {1251, {"ru", "uk", "bg", "sr", "be", "mk", "kk", "ky", "mn", "tt", "tg", "ba"}},
        {1250, {"pl", "cs", "sk", "hu", "sl", "hr", "ro", "sq", "bs"}},
        {1253, {"el"}},
        {1254, {"tr", "az", "uz"}},
        {1255, {"he", "iw"}},
        {1256, {"ar", "fa", "ur", "ug"}},
        {1257, {"et", "lv", "lt"}},
        {1258, {"vi"}},
        {874, {"th"}},
        {932, {"ja"}},
        {949, {"ko"}},
    };
    if (language.empty()) {
        return 1252;
    }
    if (language == "zh") {
        return territory == "TW" || territory == "HK" || territory == "MO" ? 950 : 936;
    }
    for (const TGroup& group : kGroups) {
        if (std::find(group.languages.begin(), group.languages.end(), language) == group.languages.end()) {
            continue;
        }
        // Serbian in Latin letters, and Uzbek or Azerbaijani in Cyrillic ones, use the other script's page.
        if (modifier == "latin" && group.codePage == 1251) {
            return 1250;
        }
        if (modifier == "cyrillic" && group.codePage == 1254) {
            return 1251;
        }
        return group.codePage;
    }
    return 1252;
}

std::u32string CodePageToUnicode(std::string_view bytes, int codePage) {
    if (codePage == 1252) {
        return Windows1252ToUnicode(bytes);
    }
    const TIconv cd(kUtf32, IconvName(codePage).c_str());
    if (!cd.IsOpen()) {
        throw std::invalid_argument("The code page " + std::to_string(codePage) + " is not one this system can read");
    }
    std::u32string text;
    text.reserve(bytes.size());
    char* in = const_cast<char*>(bytes.data()); // iconv's interface is not const-correct; it never writes here
    std::size_t inLeft = bytes.size();
    std::array<char32_t, 256> buffer{};
    for (;;) {
        char* out = reinterpret_cast<char*>(buffer.data());
        std::size_t outLeft = sizeof buffer;
        const bool flushing = inLeft == 0; // the last call, without input, gives out a character held back
        const std::size_t rc = flushing ? iconv(cd.Get(), nullptr, nullptr, &out, &outLeft)
                                        : iconv(cd.Get(), &in, &inLeft, &out, &outLeft);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        AppendConverted(text, buffer.data(), out);
        if (error == E2BIG) {
            continue;
        }
        if (error == EILSEQ || error == EINVAL) {
            // A character held back (Vietnamese waits for an accent) goes before the byte that cannot be read.
            out = reinterpret_cast<char*>(buffer.data());
            outLeft = sizeof buffer;
            iconv(cd.Get(), nullptr, nullptr, &out, &outLeft);
            AppendConverted(text, buffer.data(), out);
            const auto byte = static_cast<std::uint8_t>(*in);
            text += byte >= 0x80 && byte <= 0x9F && !IsDoubleByte(codePage) ? char32_t{byte} : kReplacement;
            ++in;
            --inLeft;
            continue;
        }
        if (error != 0 || flushing) {
            break;
        }
    }
    return text;
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
        AppendUtf8(bytes, code);
    }
    return bytes;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace velmora
