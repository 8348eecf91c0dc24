#include "XmlWellFormed.h"

#include "TextCodec.h"
#include "XmlDocument.h"
#include "XmlEntities.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The Char production of XML 1.0.
constexpr bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

constexpr bool IsNameStartChar(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool IsNameChar(char32_t c) {
    return IsNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// NameChar for ASCII.
constexpr std::array<bool, 128> MakeAsciiNameChars() {
    std::array<bool, 128> table{};
    for (char32_t c = 0; c < 128; ++c) {
        table[c] = IsNameChar(c);
    }
    return table;
}
constexpr std::array<bool, 128> kAsciiNameChar = MakeAsciiNameChars();

// The bytes that end a run of text in an element.
constexpr std::array<bool, 256> MakeContentStops() {
    std::array<bool, 256> table{};
    table['<'] = table['&'] = table[']'] = true;
    return table;
}
constexpr std::array<bool, 256> kContentStop = MakeContentStops();

/// One pass over the document's structure, or over an entity's text as the content of an element; the characters
/// were checked before. It notes the general entities the internal subset declares and where the document refers
/// to them.
class TWellFormedCheck {
public:
    /// A document; its entities go into `entities`.
    TWellFormedCheck(std::string_view text, TXmlEntities& entities) : FText(text), FEntities(entities) {}

    void CheckCharacters() {
        const auto* bytes = reinterpret_cast<const unsigned char*>(FText.data());
        const std::size_t size = FText.size();
        std::size_t i = 0;
        while (i < size) {
            // Eight bytes at a time while they are all printable ASCII.
            constexpr std::uint64_t kOnes = 0x0101010101010101;
            constexpr std::uint64_t kHigh = 0x8080808080808080;
            while (i + 8 <= size) {
                std::uint64_t word = 0;
                std::memcpy(&word, bytes + i, 8);
                if (((word - 0x20 * kOnes) | word) & kHigh) {
                    break; // a byte below 0x20 or above 0x7F
                }
                i += 8;
            }
            if (i >= size) {
                break;
            }
            const unsigned char b = bytes[i];
            if (b >= 0x20 && b < 0x80) {
                ++i;
                continue;
            }
            FAt = i;
            if (b < 0x80) {
                if (b != '\t' && b != '\n' && b != '\r') {
                    Fail("the control character " + CodeText(b) + ", which XML does not allow");
                }
                ++i;
                continue;
            }
            const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
            if (length == 0 || b > 0xF4 || i + length > size) {
                Fail("bytes that are not valid UTF-8");
            }
            char32_t c = b & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                if ((bytes[i + k] & 0xC0) != 0x80) {
                    Fail("bytes that are not valid UTF-8");
                }
                c = c << 6 | (bytes[i + k] & 0x3F);
            }
            const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                Fail("bytes that are not valid UTF-8");
            }
            if (!IsXmlChar(c)) {
                Fail("the character " + CodeText(c) + ", which XML does not allow");
            }
            i += length;
        }
    }

    void CheckStructure() {
        FAt = FText.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
        if (Ahead("<?xml") && FAt + 5 < FText.size() && IsSpace(FText[FAt + 5])) {
            Declaration();
        }
        bool doctype = false;
        for (;;) {
            Misc();
            if (Ahead("<!DOCTYPE")) {
                if (doctype) {
                    Fail("a second document type declaration");
                }
                doctype = true;
                Doctype();
                continue;
            }
            break;
        }
        if (FAt >= FText.size()) {
            Fail("no root element");
        }
        if (FText[FAt] != '<') {
            Fail("text outside the root element");
        }
        std::vector<std::string_view> open;
        Element(open);
        Misc();
        if (FAt < FText.size()) {
            Fail(FText[FAt] == '<' ? "markup after the root element" : "text outside the root element");
        }
    }

    /// The whole text as the content of an element: text, elements, comments, processing instructions and CDATA,
    /// balanced.
    void CheckContent() {
        FContentOnly = true;
        // An empty name stands for the element around the text: no end tag can close it.
        std::vector<std::string_view> open{std::string_view()};
        if (Content(open)) {
            Element(open);
        }
    }

    /// The references to declared entities, in text order.
    const std::vector<TXmlEntityReference>& References() const { return FReferences; }
    /// Where the document type declaration starts and ends; both 0 without one.
    std::size_t DoctypeStart() const { return FDoctypeStart; }
    std::size_t DoctypeEnd() const { return FDoctypeEnd; }

private:
    [[noreturn]] void Fail(const std::string& problem) const {
        const std::size_t at = std::min(FAt, FText.size());
        std::size_t line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < at; ++i) {
            if (FText[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        throw XmlError("Not a well-formed XML document: " + problem + " at line " + std::to_string(line) + ", column " +
                       std::to_string(at - lineStart + 1));
    }

    static std::string CodeText(char32_t c) {
        char text[16];
        std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
        return text;
    }

    // The byte at `at`, or 0 past the end.
    char At(std::size_t at) const { return at < FText.size() ? FText[at] : '\0'; }

    bool Ahead(std::string_view what) const { return FText.substr(FAt, what.size()) == what; }

    void Expect(std::string_view what, const char* problem) {
        if (!Ahead(what)) {
            Fail(problem);
        }
        FAt += what.size();
    }

    bool SkipSpace() {
        const std::size_t start = FAt;
        while (FAt < FText.size() && IsSpace(FText[FAt])) {
            ++FAt;
        }
        return FAt != start;
    }

    // The character at FAt (valid UTF-8 by now); `length` receives its byte count.
    char32_t CharAt(std::size_t at, std::size_t& length) const {
        const auto b = static_cast<unsigned char>(FText[at]);
        if (b < 0x80) {
            length = 1;
            return b;
        }
        length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        char32_t c = b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            c = c << 6 | (static_cast<unsigned char>(FText[at + k]) & 0x3F);
        }
        return c;
    }

    std::string_view Name(const char* what) {
        const std::size_t start = FAt;
        std::size_t length = 0;
        if (FAt >= FText.size() || !IsNameStartChar(CharAt(FAt, length))) {
            Fail(std::string("a missing or invalid ") + what);
        }
        FAt += length;
        while (FAt < FText.size()) {
            const auto c = static_cast<unsigned char>(FText[FAt]);
            if (c < 0x80) {
                if (!kAsciiNameChar[c]) {
                    break;
                }
                ++FAt;
            } else if (IsNameChar(CharAt(FAt, length))) {
                FAt += length;
            } else {
                break;
            }
        }
        return FText.substr(start, FAt - start);
    }

    // After "&#": the character a character reference stands for, up to and with ";".
    char32_t CharacterReference() {
        const std::size_t start = FAt - 2;
        const bool hex = Ahead("x");
        FAt += hex ? 1 : 0;
        std::uint32_t value = 0;
        std::size_t digits = 0;
        for (; FAt < FText.size() && FText[FAt] != ';'; ++FAt, ++digits) {
            const char c = FText[FAt];
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
                digit = (c | 0x20) - 'a' + 10;
            }
            if (digit < 0) {
                FAt = start;
                Fail("a malformed character reference");
            }
            value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        }
        if (digits == 0 || FAt >= FText.size()) {
            FAt = start;
            Fail("a malformed character reference");
        }
        if (!IsXmlChar(value)) {
            FAt = start;
            Fail("a reference to the character " + CodeText(value) + ", which XML does not allow");
        }
        ++FAt;
        return value;
    }

    // After "&": a character reference, one of the five predefined entities or an entity the internal subset
    // declares (noted, to be expanded), up to and with ";".
    void Reference(bool inAttribute) {
        const std::size_t start = FAt - 1;
        if (Ahead("#")) {
            ++FAt;
            CharacterReference();
            return;
        }
        const std::string_view name = Name("entity name after \"&\"");
        if (!Ahead(";")) {
            FAt = start;
            Fail("an \"&\" that does not start a reference (write \"&amp;\")");
        }
        ++FAt;
        if (IsPredefinedXmlEntity(name)) {
            return;
        }
        const auto entity = FEntities.find(name);
        if (entity == FEntities.end()) {
            FAt = start;
            Fail("the undefined entity \"&" + std::string(name) + ";\"");
        }
        if (entity->second.external || entity->second.unparsed) {
            FAt = start;
            Fail("a reference to the external entity \"&" + std::string(name) + ";\", which is never read");
        }
        if (!FInDoctype) {
            FReferences.push_back({start, FAt - start, &entity->second, name, inAttribute});
        }
    }

    // A quoted value with references; "<" is not allowed. The first quotation mark of its kind ends it: a
    // reference holds none (it may stand for one only as a number).
    void AttributeValue() {
        if (FAt >= FText.size() || (FText[FAt] != '"' && FText[FAt] != '\'')) {
            Fail("an attribute value without quotation marks");
        }
        const char quote = FText[FAt++];
        const std::size_t start = FAt;
        const std::size_t end = FText.find(quote, start);
        if (end == std::string_view::npos) {
            Fail("an unfinished attribute value");
        }
        const std::string_view value = FText.substr(start, end - start);
        if (const std::size_t less = value.find('<'); less != std::string_view::npos) {
            FAt += less;
            Fail("a \"<\" in an attribute value (write \"&lt;\")");
        }
        for (std::size_t at = value.find('&'); at != std::string_view::npos; at = value.find('&', FAt - start)) {
            FAt = start + at + 1;
            Reference(true);
        }
        FAt = end + 1;
    }

    // After "<?xml ": version, then encoding and standalone if given, in this order.
    void Declaration() {
        FAt += 5;
        const auto pseudo = [this](std::string_view name, bool required) {
            const std::size_t start = FAt;
            const bool space = SkipSpace();
            if (!Ahead(name)) {
                if (required) {
                    Fail("an XML declaration without its version");
                }
                FAt = start;
                return std::string_view();
            }
            if (!space) {
                Fail("a malformed XML declaration");
            }
            FAt += name.size();
            SkipSpace();
            Expect("=", "a malformed XML declaration");
            SkipSpace();
            if (FAt >= FText.size() || (FText[FAt] != '"' && FText[FAt] != '\'')) {
                Fail("a malformed XML declaration");
            }
            const char quote = FText[FAt++];
            const std::size_t end = FText.find(quote, FAt);
            if (end == std::string_view::npos) {
                Fail("an unfinished XML declaration");
            }
            const std::string_view value = FText.substr(FAt, end - FAt);
            FAt = end + 1;
            return value;
        };
        const std::string_view version = pseudo("version", true);
        if (version.size() < 3 || version.substr(0, 2) != "1." ||
            version.substr(2).find_first_not_of("0123456789") != std::string_view::npos) {
            Fail("an XML declaration with the version \"" + std::string(version) + "\"");
        }
        const std::string_view encoding = pseudo("encoding", false);
        if (encoding.data() != nullptr &&
            (encoding.empty() || !((encoding[0] | 0x20) >= 'a' && (encoding[0] | 0x20) <= 'z') ||
             encoding.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") !=
                 std::string_view::npos)) {
            Fail("an XML declaration with the encoding name \"" + std::string(encoding) + "\"");
        }
        const std::string_view standalone = pseudo("standalone", false);
        if (standalone.data() != nullptr && standalone != "yes" && standalone != "no") {
            Fail("an XML declaration with standalone \"" + std::string(standalone) + "\"");
        }
        SkipSpace();
        Expect("?>", "a malformed XML declaration");
    }

    // White space, comments and processing instructions.
    void Misc() {
        for (;;) {
            SkipSpace();
            if (Ahead("<!--")) {
                Comment();
            } else if (Ahead("<?")) {
                ProcessingInstruction();
            } else {
                return;
            }
        }
    }

    void Comment() {
        const std::size_t start = FAt;
        FAt += 4;
        const std::size_t dashes = FText.find("--", FAt);
        if (dashes == std::string_view::npos) {
            FAt = start;
            Fail("an unfinished comment");
        }
        FAt = dashes;
        if (dashes + 2 >= FText.size() || FText[dashes + 2] != '>') {
            Fail("\"--\" inside a comment");
        }
        FAt = dashes + 3;
    }

    void ProcessingInstruction() {
        const std::size_t start = FAt;
        FAt += 2;
        const std::string_view target = Name("processing instruction target");
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l') {
            FAt = start;
            Fail("an XML declaration that is not at the very start of the document");
        }
        if (!Ahead("?>") && !SkipSpace()) {
            Fail("a malformed processing instruction");
        }
        const std::size_t end = FText.find("?>", FAt);
        if (end == std::string_view::npos) {
            FAt = start;
            Fail("an unfinished processing instruction");
        }
        FAt = end + 2;
    }

    // Its name, external identifier (never read) and internal subset, up to the closing ">".
    void Doctype() {
        FDoctypeStart = FAt;
        FAt += 9;
        RequireSpace("a malformed document type declaration");
        Name("document type name");
        const bool space = SkipSpace();
        if (Ahead("SYSTEM") || Ahead("PUBLIC")) {
            if (!space) {
                Fail("a malformed document type declaration");
            }
            ExternalId(false);
            SkipSpace();
        }
        if (Ahead("[")) {
            ++FAt;
            FInDoctype = true;
            InternalSubset();
            FInDoctype = false;
            ++FAt;
            SkipSpace();
        }
        Expect(">", "a malformed document type declaration");
        FDoctypeEnd = FAt;
    }

    void RequireSpace(const char* problem) {
        if (!SkipSpace()) {
            Fail(problem);
        }
    }

    // Markup declarations, comments, processing instructions and parameter entity references, up to "]".
    void InternalSubset() {
        for (;;) {
            SkipSpace();
            if (FAt >= FText.size()) {
                Fail("an unfinished document type declaration");
            }
            if (FText[FAt] == ']') {
                return;
            }
            if (Ahead("<!--")) {
                Comment();
            } else if (Ahead("<?")) {
                ProcessingInstruction();
            } else if (Ahead("<!ENTITY")) {
                EntityDeclaration();
            } else if (Ahead("<!ELEMENT")) {
                ElementDeclaration();
            } else if (Ahead("<!ATTLIST")) {
                AttributeListDeclaration();
            } else if (Ahead("<!NOTATION")) {
                FAt += 10;
                RequireSpace("a malformed notation declaration");
                Name("notation name");
                RequireSpace("a malformed notation declaration");
                ExternalId(true);
                SkipSpace();
                Expect(">", "a malformed notation declaration");
            } else if (Ahead("%")) {
                ++FAt;
                Name("parameter entity name");
                Expect(";", "a malformed parameter entity reference");
                // A parameter entity is never read; what it holds could have declared the entities that follow
                // first, so their declarations do not count.
                FEntitiesClosed = true;
            } else {
                Fail("a malformed markup declaration in the document type declaration");
            }
        }
    }

    // SYSTEM "literal", or PUBLIC "public id" "literal" (the second literal may be missing in a notation).
    void ExternalId(bool publicOnlyAllowed) {
        const bool isPublic = Ahead("PUBLIC");
        if (!isPublic && !Ahead("SYSTEM")) {
            Fail("a malformed external identifier");
        }
        FAt += 6;
        RequireSpace("a malformed external identifier");
        if (!isPublic) {
            QuotedLiteral();
            return;
        }
        const std::string_view id = QuotedLiteral();
        if (id.find_first_not_of(
                " \r\nabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-'()+,./:=?;!*#@$_%") !=
            std::string_view::npos) {
            Fail("a public identifier with a character it may not hold");
        }
        const std::size_t before = FAt;
        const bool space = SkipSpace();
        if (space && (Ahead("\"") || Ahead("'"))) {
            QuotedLiteral();
        } else if (publicOnlyAllowed) {
            FAt = before;
        } else {
            Fail("a public identifier without its system identifier");
        }
    }

    // A literal in quotation marks; its text.
    std::string_view QuotedLiteral() {
        if (FAt >= FText.size() || (FText[FAt] != '"' && FText[FAt] != '\'')) {
            Fail("a missing quoted literal");
        }
        const std::size_t end = FText.find(FText[FAt], FAt + 1);
        if (end == std::string_view::npos) {
            Fail("an unfinished quoted literal");
        }
        const std::string_view literal = FText.substr(FAt + 1, end - FAt - 1);
        FAt = end + 1;
        return literal;
    }

    void EntityDeclaration() {
        FAt += 8;
        RequireSpace("a malformed entity declaration");
        const bool parameter = Ahead("%");
        if (parameter) {
            ++FAt;
            RequireSpace("a malformed entity declaration");
        }
        const std::string name(Name("entity name"));
        RequireSpace("a malformed entity declaration");
        TXmlEntity entity;
        if (Ahead("\"") || Ahead("'")) {
            entity.text = EntityValue();
        } else {
            ExternalId(false);
            entity.external = true;
            const std::size_t before = FAt;
            if (SkipSpace() && Ahead("NDATA")) {
                if (parameter) {
                    Fail("a parameter entity declared with NDATA");
                }
                FAt += 5;
                RequireSpace("a malformed entity declaration");
                Name("notation name");
                entity.unparsed = true;
            } else {
                FAt = before;
            }
        }
        SkipSpace();
        Expect(">", "a malformed entity declaration");
        // The first declaration of a name counts; the predefined five keep their meaning.
        if (!parameter && !FEntitiesClosed && !IsPredefinedXmlEntity(name)) {
            FEntities.emplace(name, std::move(entity));
        }
    }

    // A quoted entity value; its replacement text, with character references replaced and references to other
    // entities kept for when it is used.
    std::string EntityValue() {
        const char quote = FText[FAt++];
        std::string text;
        for (;;) {
            const std::size_t stop = FText.find_first_of(std::string{quote, '&', '%'}, FAt);
            if (stop == std::string_view::npos) {
                Fail("an unfinished entity value");
            }
            text.append(FText.substr(FAt, stop - FAt));
            FAt = stop;
            if (FText[FAt] == quote) {
                ++FAt;
                return text;
            }
            if (FText[FAt] == '%') {
                Fail("a parameter entity reference inside an entity value");
            }
            const std::size_t start = FAt++;
            if (Ahead("#")) {
                ++FAt;
                AppendUtf8(text, CharacterReference());
                continue;
            }
            Name("entity name after \"&\"");
            Expect(";", "an \"&\" that does not start a reference (write \"&amp;\")");
            text.append(FText.substr(start, FAt - start));
        }
    }

    void ElementDeclaration() {
        FAt += 9;
        RequireSpace("a malformed element declaration");
        Name("element name");
        RequireSpace("a malformed element declaration");
        if (Ahead("EMPTY")) {
            FAt += 5;
        } else if (Ahead("ANY")) {
            FAt += 3;
        } else if (Ahead("(")) {
            ContentModel(0);
        } else {
            Fail("a malformed element declaration");
        }
        SkipSpace();
        Expect(">", "a malformed element declaration");
    }

    // A parenthesised content model: mixed content, or choices and sequences of names and groups.
    void ContentModel(int depth) {
        if (depth > 64) {
            Fail("a content model nested too deeply");
        }
        ++FAt;
        SkipSpace();
        if (Ahead("#PCDATA")) {
            FAt += 7;
            bool names = false;
            for (SkipSpace(); Ahead("|"); SkipSpace()) {
                ++FAt;
                SkipSpace();
                Name("element name in a content model");
                names = true;
            }
            Expect(")", "a malformed content model");
            if (Ahead("*")) {
                ++FAt;
            } else if (names) {
                Fail("mixed content without \"*\"");
            }
            return;
        }
        char separator = 0;
        for (;;) {
            if (Ahead("(")) {
                ContentModel(depth + 1);
            } else {
                Name("element name in a content model");
                Occurrence();
            }
            SkipSpace();
            if (Ahead(")")) {
                ++FAt;
                Occurrence();
                return;
            }
            const char c = At(FAt);
            if ((c != '|' && c != ',') || (separator != 0 && c != separator)) {
                Fail("a malformed content model");
            }
            separator = c;
            ++FAt;
            SkipSpace();
        }
    }

    void Occurrence() {
        const char c = At(FAt);
        FAt += c == '?' || c == '*' || c == '+' ? 1 : 0;
    }

    void AttributeListDeclaration() {
        FAt += 9;
        RequireSpace("a malformed attribute-list declaration");
        Name("element name");
        for (;;) {
            const bool space = SkipSpace();
            if (Ahead(">")) {
                ++FAt;
                return;
            }
            if (!space) {
                Fail("a malformed attribute-list declaration");
            }
            Name("attribute name");
            RequireSpace("a malformed attribute-list declaration");
            AttributeType();
            RequireSpace("a malformed attribute-list declaration");
            if (Ahead("#REQUIRED")) {
                FAt += 9;
            } else if (Ahead("#IMPLIED")) {
                FAt += 8;
            } else {
                if (Ahead("#FIXED")) {
                    FAt += 6;
                    RequireSpace("a malformed attribute-list declaration");
                }
                AttributeValue();
            }
        }
    }

    void AttributeType() {
        const bool notation = Ahead("NOTATION");
        if (notation) {
            FAt += 8;
            RequireSpace("a malformed attribute type");
        }
        if (Ahead("(")) {
            // An enumeration of name tokens (names, for a notation).
            ++FAt;
            do {
                SkipSpace();
                const std::size_t start = FAt;
                while (FAt < FText.size()) {
                    std::size_t length = 0;
                    if (!IsNameChar(CharAt(FAt, length))) {
                        break;
                    }
                    FAt += length;
                }
                if (FAt == start) {
                    Fail("a malformed enumeration in an attribute type");
                }
                SkipSpace();
            } while (Ahead("|") && ++FAt);
            Expect(")", "a malformed enumeration in an attribute type");
            return;
        }
        if (notation) {
            Fail("a notation type without its names");
        }
        for (const std::string_view type :
             {"CDATA", "IDREFS", "IDREF", "ID", "ENTITIES", "ENTITY", "NMTOKENS", "NMTOKEN"}) {
            if (Ahead(type)) {
                FAt += type.size();
                return;
            }
        }
        Fail("an unknown attribute type");
    }

    // The root element and everything in it, or (with elements already open) the rest of the content.
    void Element(std::vector<std::string_view>& open) {
        std::vector<std::string_view> attributes;
        for (;;) {
            // At "<" of a start tag.
            ++FAt;
            const std::string_view name = Name("element name");
            attributes.clear();
            bool empty = false;
            for (;;) {
                const bool space = SkipSpace();
                const char c = At(FAt);
                if (c == '/' && At(FAt + 1) == '>') {
                    FAt += 2;
                    empty = true;
                    break;
                }
                if (c == '>') {
                    ++FAt;
                    break;
                }
                if (!space) {
                    Fail("a malformed start tag");
                }
                const std::size_t at = FAt;
                const std::string_view attribute = Name("attribute name");
                for (const std::string_view earlier : attributes) {
                    if (earlier == attribute) {
                        FAt = at;
                        Fail("the attribute \"" + std::string(attribute) + "\" twice in one element");
                    }
                }
                attributes.push_back(attribute);
                SkipSpace();
                Expect("=", "an attribute without \"=\"");
                SkipSpace();
                AttributeValue();
            }
            if (!empty) {
                open.push_back(name);
            }
            if (!Content(open)) {
                return;
            }
        }
    }

    // Content up to the next start tag (true, at its "<") or to the end of the root element (false).
    bool Content(std::vector<std::string_view>& open) {
        while (!open.empty()) {
            while (FAt < FText.size() && !kContentStop[static_cast<unsigned char>(FText[FAt])]) {
                ++FAt;
            }
            if (FAt >= FText.size()) {
                if (FContentOnly && open.size() == 1) {
                    return false;
                }
                Fail("the element \"" + std::string(open.back()) + "\" is not closed");
            }
            const char next = At(FAt + 1);
            if (FText[FAt] == ']') {
                if (Ahead("]]>")) {
                    Fail("\"]]>\" in text");
                }
                ++FAt;
            } else if (FText[FAt] == '&') {
                ++FAt;
                Reference(false);
            } else if (next == '/') {
                const std::size_t at = FAt;
                FAt += 2;
                const std::string_view name = Name("element name in an end tag");
                SkipSpace();
                if (name != open.back()) {
                    FAt = at;
                    if (open.back().empty()) {
                        Fail("the end tag \"" + std::string(name) + "\" without its start tag");
                    }
                    Fail("the end tag \"" + std::string(name) + "\" where \"" + std::string(open.back()) +
                         "\" is open");
                }
                Expect(">", "a malformed end tag");
                open.pop_back();
            } else if (next != '!' && next != '?') {
                return true; // a start tag
            } else if (Ahead("<!--")) {
                Comment();
            } else if (Ahead("<![CDATA[")) {
                const std::size_t end = FText.find("]]>", FAt + 9);
                if (end == std::string_view::npos) {
                    Fail("an unfinished CDATA section");
                }
                FAt = end + 3;
            } else if (next == '?') {
                ProcessingInstruction();
            } else {
                Fail("markup that is not allowed in an element");
            }
        }
        return false;
    }

    std::string_view FText;
    std::size_t FAt = 0;
    TXmlEntities& FEntities;
    std::vector<TXmlEntityReference> FReferences;
    std::size_t FDoctypeStart = 0;
    std::size_t FDoctypeEnd = 0;
    bool FInDoctype = false;      ///< in the internal subset: references are checked, not noted
    bool FEntitiesClosed = false; ///< after a parameter entity reference: declarations no longer count
    bool FContentOnly = false;    ///< CheckContent
};

} // namespace

std::optional<std::string> CheckWellFormed(std::string_view text) {
    TXmlEntities entities;
    TWellFormedCheck check(text, entities);
    check.CheckCharacters();
    check.CheckStructure();
    if (check.References().empty()) {
        return std::nullopt;
    }
    const TXmlContentCheck checkContent = [&entities](std::string_view replacementText) {
        TWellFormedCheck content(replacementText, entities);
        content.CheckContent();
        return content.References();
    };
    std::string expanded =
        ExpandXmlEntities(text, check.DoctypeStart(), check.DoctypeEnd(), entities, check.References(), checkContent);
    // Character references the entities held, now in the text, are checked with the rest.
    TXmlEntities none;
    TWellFormedCheck again(expanded, none);
    again.CheckCharacters();
    again.CheckStructure();
    return expanded;
}

} // namespace velmora
