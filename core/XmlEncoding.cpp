#include "XmlEncoding.h"

#include "Iconv.h"
#include "TextCodec.h"
#include "XmlDocument.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <iterator>

namespace velmora {
namespace {

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// Names of encodings that Windows readers accept and iconv does not know, or knows as a narrower encoding than the
// code page Windows reads for them (Shift_JIS, GB2312, Big5 and EUC-KR are read as their Windows supersets).
struct TAlias {
    std::string_view name;
    const char* iconvName;
};
constexpr TAlias kAliases[] = {
    {"x-cp1250", "CP1250"},
    {"x-cp1251", "CP1251"},
    {"x-cp1253", "CP1253"},
    {"x-cp1254", "CP1254"},
    {"x-cp1255", "CP1255"},
    {"x-cp1256", "CP1256"},
    {"x-cp1257", "CP1257"},
    {"x-cp1258", "CP1258"},
    {"windows-874", "CP874"},
    {"dos-874", "CP874"},
    {"tis-620", "CP874"},
    {"iso-8859-11", "CP874"},
    {"iso-8859-8-i", "ISO-8859-8"},
    {"iso-8859-8-e", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8"},
    {"csiso88598e", "ISO-8859-8"},
    {"logical", "ISO-8859-8"},
    {"visual", "ISO-8859-8"},
    {"shift_jis", "CP932"},
    {"shift-jis", "CP932"},
    {"sjis", "CP932"},
    {"x-sjis", "CP932"},
    {"ms_kanji", "CP932"},
    {"csshiftjis", "CP932"},
    {"x-ms-cp932", "CP932"},
    {"windows-31j", "CP932"},
    {"windows-932", "CP932"},
    {"x-euc-jp", "EUC-JP"},
    {"x-euc", "EUC-JP"},
    {"_iso-2022-jp", "ISO-2022-JP"},
    {"gb2312", "CP936"},
    {"csgb2312", "CP936"},
    {"gb_2312-80", "CP936"},
    {"csiso58gb231280", "CP936"},
    {"iso-ir-58", "CP936"},
    {"chinese", "CP936"},
    {"cn-gb", "CP936"},
    {"gbk", "CP936"},
    {"x-gbk", "CP936"},
    {"x-ms-cp936", "CP936"},
    {"ms936", "CP936"},
    {"windows-936", "CP936"},
    {"big5", "CP950"},
    {"x-x-big5", "CP950"},
    {"cn-big5", "CP950"},
    {"csbig5", "CP950"},
    {"windows-950", "CP950"},
    {"ms950", "CP950"},
    {"ks_c_5601-1987", "CP949"},
    {"ks_c_5601-1989", "CP949"},
    {"ks_c_5601_1987", "CP949"},
    {"ks_c_5601", "CP949"},
    {"ksc5601", "CP949"},
    {"ksc_5601", "CP949"},
    {"korean", "CP949"},
    {"csksc56011987", "CP949"},
    {"iso-ir-149", "CP949"},
    {"euc-kr", "CP949"},
    {"cseuckr", "CP949"},
    {"windows-949", "CP949"},
    {"ms949", "CP949"},
    {"windows-1361", "JOHAB"},
    {"dos-866", "CP866"},
    {"dos-862", "CP862"},
    {"koi", "KOI8-R"},
    {"x-mac-cyrillic", "MAC-CYRILLIC"},
    {"x-mac-ukrainian", "MAC-UK"},
    {"x-mac-roman", "MACINTOSH"},
    {"x-mac-ce", "MAC-CENTRALEUROPE"},
};

// Names Windows readers give UTF-8 besides "utf-8" itself.
constexpr std::string_view kUtf8Aliases[] = {"utf8", "unicode-1-1-utf-8", "unicode-2-0-utf8", "x-unicode20utf8"};

/// The iconv name for an encoding name that Windows readers accept and iconv does not know, or reads more narrowly
/// ("ks_c_5601-1987" is "CP949", "x-sjis" and "shift_jis" are "CP932"), compared without regard to letter case;
/// nothing for any other name.
const char* IconvAlias(std::string_view encoding) {
    const std::string name = Lowered(encoding);
    for (const TAlias& alias : kAliases) {
        if (alias.name == name) {
            return alias.iconvName;
        }
    }
    return nullptr;
}

} // namespace

bool LooksLikeWideUnicode(std::string_view bytes) {
    using namespace std::string_view_literals;
    for (const std::string_view start : {"\xFE\xFF"sv, "\xFF\xFE"sv,     // UTF-16 (and UTF-32 LE) byte order marks
                                         "\x00\x00\xFE\xFF"sv,           // UTF-32 BE byte order mark
                                         "\x00<\x00?"sv, "<\x00?\x00"sv, // UTF-16 without a byte order mark
                                         "\x00\x00\x00<"sv, "<\x00\x00\x00"sv}) { // UTF-32 without a byte order mark
        if (StartsWith(bytes, start)) {
            return true;
        }
    }
    return false;
}

std::string WideEncoding(std::string_view bytes, std::size_t& bomLength) {
    using namespace std::string_view_literals;
    struct TForm {
        std::string_view start;
        const char* name;
        std::size_t bom;
    };
    // UTF-32 LE's mark starts like UTF-16 LE's: the longer forms first.
    for (const TForm& form : {TForm{"\x00\x00\xFE\xFF"sv, "UTF-32BE", 4}, TForm{"\xFF\xFE\x00\x00"sv, "UTF-32LE", 4},
                              TForm{"\xFE\xFF"sv, "UTF-16BE", 2}, TForm{"\xFF\xFE"sv, "UTF-16LE", 2},
                              TForm{"\x00\x00\x00<"sv, "UTF-32BE", 0}, TForm{"<\x00\x00\x00"sv, "UTF-32LE", 0},
                              TForm{"\x00<"sv, "UTF-16BE", 0}, TForm{"<\x00"sv, "UTF-16LE", 0}}) {
        if (StartsWith(bytes, form.start)) {
            bomLength = form.bom;
            return form.name;
        }
    }
    bomLength = 0;
    return "UTF-8";
}

std::string DeclaredEncoding(std::string_view bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (!StartsWith(bytes, "<?xml") || bytes.size() < 6 || !IsXmlSpace(bytes[5])) {
        return "";
    }
    const std::size_t end = bytes.find("?>");
    if (end == std::string_view::npos) {
        return ""; // an unfinished declaration: the parser reports it
    }
    const std::string_view declaration = bytes.substr(0, end);
    for (std::size_t at = declaration.find("encoding"); at != std::string_view::npos;
         at = declaration.find("encoding", at + 1)) {
        if (!IsXmlSpace(declaration[at - 1])) {
            continue;
        }
        std::size_t i = at + 8;
        while (i < declaration.size() && IsXmlSpace(declaration[i])) {
            ++i;
        }
        if (i == declaration.size() || declaration[i] != '=') {
            continue;
        }
        ++i;
        while (i < declaration.size() && IsXmlSpace(declaration[i])) {
            ++i;
        }
        if (i == declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
            continue;
        }
        const std::size_t close = declaration.find(declaration[i], i + 1);
        if (close == std::string_view::npos) {
            return "";
        }
        return std::string(declaration.substr(i + 1, close - i - 1));
    }
    return "";
}

bool ReadsAsUtf8(std::string_view encoding) {
    const std::string name = Lowered(encoding);
    // Bytes that start "<?xml" one byte per character are not UTF-16 or UTF-32 whatever the declaration says;
    // they are read as UTF-8, like a document without a declaration.
    return name.empty() || name == "utf-8" ||
           std::find(std::begin(kUtf8Aliases), std::end(kUtf8Aliases), name) != std::end(kUtf8Aliases) ||
           StartsWith(name, "utf-16") || StartsWith(name, "utf-32") || name == "ucs-2" || name == "ucs-4" ||
           name == "unicode";
}

std::string ConvertToUtf8(std::string_view bytes, std::string_view encoding) {
    const std::string name = Lowered(encoding);
    if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252") {
        // iconv rejects the five bytes the code page leaves undefined; snippets read them as C1 controls.
        return UnicodeToText(Windows1252ToUnicode(bytes));
    }
    const char* alias = IconvAlias(encoding);
    const std::string iconvName = alias != nullptr ? std::string(alias) : std::string(encoding);
    const TIconv cd("UTF-8", iconvName.c_str());
    if (!cd.IsOpen()) {
        throw XmlError("The XML document declares the encoding " + Quoted(encoding) + ", which is not supported");
    }
    const iconv_t raw = cd.Get();
    std::string out(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data()); // iconv's interface is not const-correct; it never writes here
    std::size_t inLeft = bytes.size();
    std::size_t used = 0;
    for (;;) {
        const bool flushing = inLeft == 0; // the last call, without input, ends any shift state
        char* outAt = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t rc =
            flushing ? iconv(raw, nullptr, nullptr, &outAt, &outLeft) : iconv(raw, &in, &inLeft, &outAt, &outLeft);
        used = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1)) {
            if (flushing) {
                break;
            }
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        const std::size_t offset = bytes.size() - inLeft;
        throw XmlError("The XML document is not valid " + Quoted(encoding) + " text at byte " + std::to_string(offset));
    }
    out.resize(used);
    return out;
}

} // namespace velmora
