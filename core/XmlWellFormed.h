#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

/// Checks that UTF-8 bytes are a well-formed XML 1.0 document: valid UTF-8 of characters XML allows, the declaration
/// only at the start, a well-formed document type declaration (its internal subset made of markup declarations), one
/// root element with properly nested tags, unique attribute names, attribute values without "<", comments,
/// processing instructions and CDATA sections properly ended, and only character references, the five predefined
/// entities ("&lt;", "&gt;", "&amp;", "&apos;", "&quot;") and the entities the internal subset declares with their
/// text. Nothing external (a DTD, an entity declared with SYSTEM or PUBLIC) is ever read: a reference to such an
/// entity is refused, and so are entities declared after a parameter entity reference, whose text is not read
/// either. A UTF-8 byte order mark at the start is allowed.
/// Returns the document with the references to declared entities expanded (bounded: see ExpandXmlEntities) and the
/// document type declaration left out, or nothing when it refers to none (it is then parsed as it is).
/// Throws XmlError naming the first problem and its line and column.
std::optional<std::string> CheckWellFormed(std::string_view text);

} // namespace velmora
