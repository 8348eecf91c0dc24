#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

/// A general entity declared in a document's internal subset.
struct TXmlEntity {
    std::string text;      ///< the replacement text: character references replaced, line breaks made "\n"
    bool external = false; ///< declared with SYSTEM or PUBLIC: its text is never read
    bool unparsed = false; ///< declared with NDATA
};

/// The general entities of a document by name; the predefined five are not among them.
using TXmlEntities = std::map<std::string, TXmlEntity, std::less<>>;

/// Whether `name` is one of the five entities every XML document has (lt, gt, amp, apos, quot).
bool IsPredefinedXmlEntity(std::string_view name);

/// Where a text refers to a declared entity: "&name;" at `at`, `length` bytes long.
struct TXmlEntityReference {
    std::size_t at = 0;
    std::size_t length = 0;
    const TXmlEntity* entity = nullptr;
    std::string_view name;
    bool inAttribute = false; ///< in an attribute value, where the text may hold no markup
};

/// Checks an entity's replacement text as the content of an element (balanced tags, nothing forbidden) and gives
/// the references it holds to declared entities; throws XmlError.
using TXmlContentCheck = std::function<std::vector<TXmlEntityReference>(std::string_view replacementText)>;

/// The document `text` with every reference replaced by its entity's text (expanded again where it refers to
/// further entities) and the bytes from `skipFrom` to `skipTo` (the document type declaration) left out. The work is
/// bounded: an entity that refers to itself, entities nested more than 32 deep, or more than a million references
/// or 16 MiB of text beyond the document's own size are refused. Throws XmlError naming the entity.
std::string ExpandXmlEntities(std::string_view text, std::size_t skipFrom, std::size_t skipTo,
                              const TXmlEntities& entities, const std::vector<TXmlEntityReference>& references,
                              const TXmlContentCheck& checkContent);

} // namespace velmora
