// The XML document services on pugixml.

#include "XmlDocument.h"

#include "XmlEncoding.h"
#include "XmlWellFormed.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

// Whitespace-only text is dropped (no parse_ws_pcdata); comments, processing instructions and CDATA stay as
// nodes; the declaration is kept so that saving writes it back. Document type declarations are skipped
// unparsed (no parse_doctype), so no entity, external or internal, is ever defined or read. Top-level text is
// kept as a fragment would keep it only so that the single-root check can reject it.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration | pugi::parse_fragment;

class StringWriter final : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override { out_.append(static_cast<const char*>(data), size); }

private:
    std::string& out_;
};

// Compared in place: measuring every candidate's length first costs more than the comparison.
bool NameIs(const char* candidate, std::string_view name) {
    std::size_t i = 0;
    while (i < name.size() && candidate[i] == name[i]) {
        ++i;
    }
    return i == name.size() && candidate[i] == '\0';
}

pugi::xml_attribute AttributeNamed(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        if (NameIs(a.name(), name)) {
            return a;
        }
    }
    return {};
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// Line and column (from 1) of a byte offset in 8-bit text.
std::string PositionText(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    std::size_t line = 1;
    for (char c : before) {
        line += c == '\n' ? 1 : 0;
    }
    const std::size_t lineStart = before.rfind('\n');
    const std::size_t column = lineStart == std::string_view::npos ? offset + 1 : offset - lineStart;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

class PugiXmlNode final : public IXmlNode {
public:
    explicit PugiXmlNode(pugi::xml_node node) : node_(node) {}
    ~PugiXmlNode() override = default;

    bool IsElement() const override { return node_.type() == pugi::node_element; }
    std::string Name() const override { return IsElement() ? node_.name() : ""; }

    std::size_t ChildCount() const override { return Children().size(); }
    const IXmlNode& Child(std::size_t index) const override { return Children()[CheckedIndex(index)]; }
    IXmlNode& Child(std::size_t index) override { return Children()[CheckedIndex(index)]; }

    void RemoveChildren() override {
        node_.remove_children();
        children_.reset();
    }

    IXmlNode& AppendElement(std::string_view name) override {
        RequireElement("append a child to it");
        std::deque<PugiXmlNode>& children = Children();
        pugi::xml_node child = node_.append_child(pugi::node_element);
        if (!child || !child.set_name(std::string(name).c_str())) {
            throw XmlError("Could not append the element " + Quoted(name));
        }
        return children.emplace_back(child);
    }

    IXmlNode& ChildElement(std::string_view name) override {
        for (PugiXmlNode& child : Children()) {
            if (child.IsElement() && name == child.node_.name()) {
                return child;
            }
        }
        return AppendElement(name);
    }

    bool HasAttribute(std::string_view name) const override { return IsElement() && AttributeNamed(node_, name); }

    std::string Attribute(std::string_view name) const override {
        return IsElement() ? AttributeNamed(node_, name).value() : "";
    }

    std::optional<std::string_view> FindAttribute(std::string_view name) const override {
        if (!IsElement()) {
            return std::nullopt;
        }
        const pugi::xml_attribute attribute = AttributeNamed(node_, name);
        if (!attribute) {
            return std::nullopt;
        }
        return std::string_view(attribute.value());
    }

    void FindAttributes(std::span<const std::string_view> names,
                        std::span<std::optional<std::string_view>> values) const override {
        const std::size_t count = std::min(names.size(), values.size());
        std::fill_n(values.begin(), count, std::nullopt);
        if (!IsElement()) {
            return;
        }
        std::size_t missing = count;
        for (pugi::xml_attribute a = node_.first_attribute(); a && missing > 0; a = a.next_attribute()) {
            const char* name = a.name();
            for (std::size_t i = 0; i < count; ++i) {
                // The first attribute of a name counts, as for FindAttribute.
                if (!values[i] && NameIs(name, names[i])) {
                    values[i] = std::string_view(a.value());
                    --missing;
                    break;
                }
            }
        }
    }

    std::string EnsureAttribute(std::string_view name) override { return Ensure(name).value(); }

    void SetAttributeText(std::string_view name, std::string_view value) override {
        // The document would write such a character as a reference, which XML 1.0 does not allow either.
        const auto forbidden = std::find_if(value.begin(), value.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
        });
        if (forbidden != value.end()) {
            throw XmlError("The attribute " + Quoted(name) + " cannot hold the control character " +
                           std::to_string(static_cast<int>(*forbidden)) + ", which XML does not allow");
        }
        if (!Ensure(name).set_value(value.data(), value.size())) {
            throw XmlError("Could not set the attribute " + Quoted(name));
        }
    }

    void SetAttributeInt(std::string_view name, std::int64_t value) override {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        SetAttributeText(name, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }

    void SetAttributeBool(std::string_view name, bool value) override {
        SetAttributeText(name, value ? "True" : "False");
    }

    void RemoveAttribute(std::string_view name) override { node_.remove_attribute(std::string(name).c_str()); }

    std::string XmlText() const override {
        std::string text;
        StringWriter writer(text);
        node_.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
        return text;
    }

private:
    // The child wrappers, made on first use and kept in step by AppendElement and RemoveChildren, the only ways
    // the children change. A deque keeps references to earlier children valid while elements are appended.
    std::deque<PugiXmlNode>& Children() const {
        if (!children_) {
            children_ = std::make_unique<std::deque<PugiXmlNode>>();
            for (pugi::xml_node child = node_.first_child(); child; child = child.next_sibling()) {
                children_->emplace_back(child);
            }
        }
        return *children_;
    }

    std::size_t CheckedIndex(std::size_t index) const {
        if (index >= Children().size()) {
            throw XmlError("Child node " + std::to_string(index) + " does not exist; the node has " +
                           std::to_string(Children().size()));
        }
        return index;
    }

    void RequireElement(const char* action) const {
        if (!IsElement()) {
            throw XmlError(std::string("The node is not an element; cannot ") + action);
        }
    }

    pugi::xml_attribute Ensure(std::string_view name) {
        RequireElement("give it attributes");
        pugi::xml_attribute attribute = AttributeNamed(node_, name);
        if (!attribute) {
            attribute = node_.append_attribute(std::string(name).c_str());
            if (!attribute) {
                throw XmlError("Could not add the attribute " + Quoted(name));
            }
        }
        return attribute;
    }

    pugi::xml_node node_;
    mutable std::unique_ptr<std::deque<PugiXmlNode>> children_;
};

class PugiXmlDocument final : public IXmlDocument {
public:
    PugiXmlDocument() : document_(std::make_unique<pugi::xml_document>()) {}

    void LoadText(std::string_view bytes) override { Install(Parse(bytes)); }

    void LoadOwnedText(std::string&& bytes) override { Install(ParseOwned(std::move(bytes))); }

    void LoadTextLater(std::string&& text) override {
        Discard();
        pending_ = std::move(text);
    }

    std::string SaveText() const override {
        ParsePending();
        std::string text;
        StringWriter writer(text);
        document_->save(writer, "", pugi::format_raw, pugi::encoding_utf8);
        return text;
    }

    void Swap(IXmlDocument& other) override {
        auto* peer = dynamic_cast<PugiXmlDocument*>(&other);
        if (peer == nullptr) {
            IXmlDocument::Swap(other);
            return;
        }
        std::swap(document_, peer->document_);
        std::swap(buffer_, peer->buffer_);
        std::swap(root_, peer->root_);
        std::swap(pending_, peer->pending_);
    }

    std::string TakeStorage() override {
        std::string storage;
        if (pending_) {
            storage = std::move(*pending_);
        } else if (buffer_) {
            storage = std::move(*buffer_);
        }
        Discard();
        storage.clear();
        return storage;
    }

    bool IsEmpty() const override { return !root_ && !pending_; }

    void Clear() override { Discard(); }

    IXmlNode& Root() override {
        ParsePending();
        if (!root_) {
            throw XmlError("The XML document is empty");
        }
        return *root_;
    }

private:
    // A parsed tree and, when it was parsed in place, the bytes its names and values point into.
    struct Parsed {
        std::unique_ptr<pugi::xml_document> document;
        std::unique_ptr<std::string> buffer;
    };

    // The document as UTF-8 text: `bytes` themselves, or their conversion (kept in `converted`) when they are in
    // another encoding. An 8-bit document that names UTF-16 or UTF-32 is read as UTF-8.
    static std::string_view Utf8Text(std::string_view bytes, std::string& converted) {
        if (LooksLikeWideUnicode(bytes)) {
            std::size_t bom = 0;
            const std::string encoding = WideEncoding(bytes, bom);
            converted = ConvertToUtf8(bytes.substr(bom), encoding);
            return converted;
        }
        const std::string encoding = Utf8Encoding(bytes);
        if (ReadsAsUtf8(encoding)) {
            return bytes;
        }
        converted = ConvertToUtf8(bytes, encoding);
        return converted;
    }

    // The parser itself lets much through that is not well-formed; the check before it does not. It also expands
    // the entities the document declares, which the parser would leave as they are.
    static Parsed Parse(std::string_view bytes) {
        std::string converted;
        std::string_view text = Utf8Text(bytes, converted);
        if (std::optional<std::string> expanded = CheckWellFormed(text)) {
            converted = std::move(*expanded);
            text = converted;
        }
        Parsed parsed{std::make_unique<pugi::xml_document>(), nullptr};
        const pugi::xml_parse_result result =
            parsed.document->load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
        if (!result) {
            ThrowParseError(result, "at " + PositionText(text, static_cast<std::size_t>(result.offset)));
        }
        return parsed;
    }

    // Parses UTF-8 text in place, without a copy; text in another encoding is converted first and the conversion
    // parsed in place.
    static Parsed ParseOwned(std::string&& bytes) {
        auto buffer = std::make_unique<std::string>(std::move(bytes));
        std::string converted;
        if (Utf8Text(*buffer, converted).data() != buffer->data()) {
            *buffer = std::move(converted);
        }
        if (std::optional<std::string> expanded = CheckWellFormed(*buffer)) {
            *buffer = std::move(*expanded);
        }
        // Ended by a zero byte, as the parser ends a copy.
        buffer->push_back('\0');
        Parsed parsed{std::make_unique<pugi::xml_document>(), std::move(buffer)};
        const pugi::xml_parse_result result = parsed.document->load_buffer_inplace(
            parsed.buffer->data(), parsed.buffer->size(), kParseOptions, pugi::encoding_utf8);
        if (!result) {
            // The parser has written into the text: its line breaks no longer tell the line.
            ThrowParseError(result, "at byte " + std::to_string(result.offset));
        }
        return parsed;
    }

    // The declared encoding of 8-bit bytes; a UTF-8 byte order mark outweighs the declaration.
    static std::string Utf8Encoding(std::string_view bytes) {
        return bytes.starts_with("\xEF\xBB\xBF") ? std::string() : DeclaredEncoding(bytes);
    }

    [[noreturn]] static void ThrowParseError(const pugi::xml_parse_result& result, const std::string& where) {
        throw XmlError(std::string("Not a well-formed XML document: ") + result.description() + " " + where);
    }

    // Checks a freshly parsed tree and makes it the content; the previous content stays when the check fails.
    void Install(Parsed parsed) const {
        CheckSingleRoot(*parsed.document);
        MarkAsUtf8(*parsed.document);
        Discard();
        document_ = std::move(parsed.document);
        buffer_ = std::move(parsed.buffer);
        root_ = std::make_unique<PugiXmlNode>(document_->document_element());
    }

    void Discard() const {
        pending_.reset();
        root_.reset();
        document_ = std::make_unique<pugi::xml_document>();
        buffer_.reset();
    }

    // Parses text handed over by LoadTextLater; a text that does not parse leaves the document empty.
    void ParsePending() const {
        if (!pending_) {
            return;
        }
        std::string text = std::move(*pending_);
        pending_.reset();
        try {
            Install(ParseOwned(std::move(text)));
        } catch (...) {
            Discard();
            throw;
        }
    }

private:
    // The parser accepts several top-level elements, or none, and text beside them; a document has one root.
    static void CheckSingleRoot(const pugi::xml_document& document) {
        int elements = 0;
        for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
            if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
                throw XmlError("Not a well-formed XML document: text outside the root element");
            }
            elements += node.type() == pugi::node_element ? 1 : 0;
        }
        if (elements != 1) {
            throw XmlError(elements == 0 ? "Not a well-formed XML document: no root element"
                                         : "Not a well-formed XML document: more than one root element");
        }
    }

    // The tree holds UTF-8 whatever the source was, and saving writes UTF-8: the declaration must say so.
    static void MarkAsUtf8(pugi::xml_document& document) {
        for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
            if (node.type() != pugi::node_declaration) {
                continue;
            }
            pugi::xml_attribute encoding = node.attribute("encoding");
            if (encoding && !IsUtf8Name(encoding.value())) {
                encoding.set_value("utf-8");
            }
        }
    }

    static bool IsUtf8Name(std::string_view name) {
        return name.size() == 5 && (name[0] | 0x20) == 'u' && (name[1] | 0x20) == 't' && (name[2] | 0x20) == 'f' &&
               name[3] == '-' && name[4] == '8';
    }

    // Text given to LoadTextLater is parsed on first use, by const members too: hence mutable.
    mutable std::unique_ptr<pugi::xml_document> document_;
    mutable std::unique_ptr<std::string> buffer_; // the bytes a tree parsed in place points into, or null
    mutable std::unique_ptr<PugiXmlNode> root_;   // wrapper of the document element; null while empty
    mutable std::optional<std::string> pending_;  // text not parsed yet
};

} // namespace

std::unique_ptr<IXmlDocument> CreateXmlDocument() {
    return std::make_unique<PugiXmlDocument>();
}

} // namespace velmora
