#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace velmora {

/// A document that cannot be parsed, or an operation the document cannot do; the message says why.
class XmlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One node of an XML document. References stay valid until the node's parent loses its children
/// or the document is replaced.
class IXmlNode {
public:
    IXmlNode() = default;
    IXmlNode(const IXmlNode&) = delete;
    IXmlNode& operator=(const IXmlNode&) = delete;
    virtual ~IXmlNode() = default;

    /// True for an element; comments, processing instructions, CDATA and text answer false.
    virtual bool IsElement() const = 0;
    /// The element's name; empty for a node that is not an element.
    virtual std::string Name() const = 0;

    /// Number of child nodes.
    virtual std::size_t ChildCount() const = 0;
    /// Child node `index` in document order, in constant time.
    virtual const IXmlNode& Child(std::size_t index) const = 0;
    /// Child node `index` in document order, in constant time.
    virtual IXmlNode& Child(std::size_t index) = 0;
    /// Removes every child node.
    virtual void RemoveChildren() = 0;
    /// Appends a new empty element as the last child and returns it.
    virtual IXmlNode& AppendElement(std::string_view name) = 0;
    /// The first child element of that name, appended empty when there is none.
    virtual IXmlNode& ChildElement(std::string_view name) = 0;

    /// Whether the element has the attribute (names compared exactly); false for a node that is not an element.
    virtual bool HasAttribute(std::string_view name) const = 0;
    /// The attribute's value as UTF-8 text; empty when there is no such attribute.
    virtual std::string Attribute(std::string_view name) const = 0;
    /// The attribute's value as UTF-8 text, or nothing when there is no such attribute (or the node is not an
    /// element); the view is valid until the attribute or the document changes.
    virtual std::optional<std::string_view> FindAttribute(std::string_view name) const = 0;
    /// FindAttribute for each of `names` (at most as many as `values` holds), in one pass over the attributes.
    virtual void FindAttributes(std::span<const std::string_view> names,
                                std::span<std::optional<std::string_view>> values) const {
        for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
            values[i] = FindAttribute(names[i]);
        }
    }
    /// The attribute's value, after adding the attribute empty when there is none.
    virtual std::string EnsureAttribute(std::string_view name) = 0;
    /// Sets the attribute from text, appending it after the others when it is new.
    virtual void SetAttributeText(std::string_view name, std::string_view value) = 0;
    /// Sets the attribute from an integer: decimal digits, "-" before a negative value.
    virtual void SetAttributeInt(std::string_view name, std::int64_t value) = 0;
    /// Sets the attribute from a Boolean: "True" or "False".
    virtual void SetAttributeBool(std::string_view name, bool value) = 0;
    /// Removes the attribute; one the element does not have is no error.
    virtual void RemoveAttribute(std::string_view name) = 0;

    /// The serialised form of this element alone: no declaration, no indentation, no line breaks added.
    virtual std::string XmlText() const = 0;
};

/// An XML document: parsed whole or not at all, never validated, external entities never read.
class IXmlDocument {
public:
    IXmlDocument() = default;
    IXmlDocument(const IXmlDocument&) = delete;
    IXmlDocument& operator=(const IXmlDocument&) = delete;
    virtual ~IXmlDocument() = default;

    /// Replaces the document by one parsed from these bytes, honouring the declared encoding. Whitespace-only text
    /// is dropped. Throws XmlError (and keeps the previous content) when the bytes are not a well-formed document.
    virtual void LoadText(std::string_view bytes) = 0;
    /// LoadText on bytes the document takes over: it may parse them in place and keep them as its storage.
    virtual void LoadOwnedText(std::string&& bytes) { LoadText(bytes); }
    /// Replaces the document by this text without parsing it yet: the first Root() or SaveText() parses it and
    /// throws XmlError then (leaving the document empty) when it is not a well-formed document.
    virtual void LoadTextLater(std::string&& text) { LoadOwnedText(std::move(text)); }
    /// Exchanges the contents of the two documents; node references go with their content.
    virtual void Swap(IXmlDocument& other) {
        std::optional<std::string> mine;
        std::optional<std::string> theirs;
        if (!IsEmpty()) {
            mine = SaveText();
        }
        if (!other.IsEmpty()) {
            theirs = other.SaveText();
        }
        theirs ? LoadOwnedText(std::move(*theirs)) : Clear();
        mine ? other.LoadOwnedText(std::move(*mine)) : other.Clear();
    }
    /// Discards the content and gives back the memory of its text (taken over by LoadOwnedText or LoadTextLater),
    /// emptied but with its capacity, for the caller to reuse; an empty string when there is none.
    virtual std::string TakeStorage() {
        Clear();
        return {};
    }
    /// The document as UTF-8 bytes with its declaration, no indentation and no line breaks added.
    virtual std::string SaveText() const = 0;
    /// Whether the document holds nothing (never loaded, or cleared).
    virtual bool IsEmpty() const = 0;
    /// Discards the content.
    virtual void Clear() = 0;
    /// The root element; throws XmlError when the document is empty.
    virtual IXmlNode& Root() = 0;
};

/// A new, empty document on the project's XML library.
std::unique_ptr<IXmlDocument> CreateXmlDocument();

} // namespace velmora
