#include "XmlEncoding.h"

#include "TextCodec.h"
#include "XmlDocument.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <memory>

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

// An iconv conversion descriptor, closed with its owner.
struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
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
    return name.empty() || name == "utf-8" || name == "utf8" || StartsWith(name, "utf-16") ||
           StartsWith(name, "utf-32") || name == "ucs-2" || name == "ucs-4" || name == "unicode";
}

std::string ConvertToUtf8(std::string_view bytes, std::string_view encoding) {
    const std::string name = Lowered(encoding);
    if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252") {
        // iconv rejects the five bytes the code page leaves undefined; snippets read them as C1 controls.
        return UnicodeToText(Windows1252ToUnicode(bytes));
    }
    const std::string iconvName(encoding);
    const iconv_t raw = iconv_open("UTF-8", iconvName.c_str());
    if (raw == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) {
        throw XmlError("The XML document declares the encoding " + Quoted(encoding) + ", which is not supported");
    }
    const IconvHandle cd(raw);
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
