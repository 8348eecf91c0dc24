#pragma once

#include <string_view>

namespace velmora {

/// Checks that UTF-8 bytes are a well-formed XML 1.0 document: valid UTF-8 of characters XML allows, the declaration
/// only at the start, one root element with properly nested tags, unique attribute names, attribute values without
/// "<", comments, processing instructions and CDATA sections properly ended, and only character references and the
/// five predefined entities ("&lt;", "&gt;", "&amp;", "&apos;", "&quot;"): a document type declaration is skipped,
/// never read, so an entity it declares is undefined here. A UTF-8 byte order mark at the start is allowed.
/// Throws XmlError naming the first problem and its line and column.
void CheckWellFormed(std::string_view text);

} // namespace velmora
