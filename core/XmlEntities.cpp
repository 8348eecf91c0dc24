#include "XmlEntities.h"

#include "XmlDocument.h"

#include <algorithm>
#include <map>
#include <string>

namespace velmora {
namespace {

constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxReferences = 1'000'000;
constexpr std::size_t kMaxExtraBytes = 16 * 1024 * 1024;

[[noreturn]] void Fail(std::string_view name, const std::string& problem) {
    constexpr std::size_t kShown = 40; // a name made of garbage can be as long as the document
    const std::string shown = name.size() > kShown ? std::string(name.substr(0, kShown)) + "..." : std::string(name);
    throw XmlError("The XML document's entities cannot be expanded: the entity \"&" + shown + ";\" " + problem);
}

/// One expansion of a document, with its budget of references and bytes.
class TExpander {
public:
    TExpander(const TXmlEntities& entities, const TXmlContentCheck& checkContent, std::size_t documentSize,
              std::size_t documentReferences)
        : FEntities(entities), FCheckContent(checkContent), FMaxBytes(documentSize + kMaxExtraBytes),
          FMaxReferences(kMaxReferences + documentReferences) {}

    // The reference's text into `out`: markup allowed in content, escaped quotation marks in an attribute value.
    void Expand(const TXmlEntityReference& reference, std::string& out, int depth) {
        if (++FReferences > FMaxReferences) {
            Fail(reference.name, "is one of more than a million entity references");
        }
        const TXmlEntity& entity = *reference.entity;
        if (entity.external || entity.unparsed) {
            Fail(reference.name, "is an external entity, which is never read");
        }
        if (depth >= kMaxDepth) {
            Fail(reference.name, "is nested in more than " + std::to_string(kMaxDepth) + " other entities");
        }
        if (std::find(FOpen.begin(), FOpen.end(), &entity) != FOpen.end()) {
            Fail(reference.name, "refers to itself");
        }
        FOpen.push_back(&entity);
        if (reference.inAttribute) {
            AttributeText(reference.name, entity.text, out, depth);
        } else {
            ContentText(reference.name, entity, out, depth);
        }
        FOpen.pop_back();
    }

    void Append(std::string& out, std::string_view text, std::string_view entity) const {
        if (out.size() + text.size() > FMaxBytes) {
            Fail(entity, "makes the document more than 16 MiB longer");
        }
        out.append(text);
    }

private:
    void ContentText(std::string_view name, const TXmlEntity& entity, std::string& out, int depth) {
        auto found = FContentReferences.find(&entity);
        if (found == FContentReferences.end()) {
            try {
                found = FContentReferences.emplace(&entity, FCheckContent(entity.text)).first;
            } catch (const XmlError& error) {
                Fail(name, std::string("does not hold well-formed content: ") + error.what());
            }
        }
        std::size_t from = 0;
        for (const TXmlEntityReference& reference : found->second) {
            Append(out, std::string_view(entity.text).substr(from, reference.at - from), name);
            Expand(reference, out, depth + 1);
            from = reference.at + reference.length;
        }
        Append(out, std::string_view(entity.text).substr(from), name);
    }

    // Quotation marks become references, as they would not end the value; references to entities are expanded; what
    // else is wrong with the text (a bare "&") the check of the expanded document reports.
    void AttributeText(std::string_view name, std::string_view text, std::string& out, int depth) {
        std::size_t from = 0;
        std::size_t semicolon = 0; // the first ";" after i, found once for all the "&" before it
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '<') {
                Fail(name, "holds a \"<\" and is used in an attribute value");
            }
            if (c == '"' || c == '\'') {
                Append(out, text.substr(from, i - from), name);
                Append(out, c == '"' ? "&quot;" : "&apos;", name);
                from = i + 1;
                continue;
            }
            if (c != '&' || i + 1 >= text.size() || text[i + 1] == '#') {
                continue;
            }
            if (semicolon <= i) {
                semicolon = text.find(';', i);
            }
            if (semicolon == std::string_view::npos) {
                continue; // the check of the expanded document refuses the bare "&"
            }
            const std::string_view inner = text.substr(i + 1, semicolon - i - 1);
            if (IsPredefinedXmlEntity(inner)) {
                continue;
            }
            const auto entity = FEntities.find(inner);
            if (entity == FEntities.end()) {
                Fail(inner, "is not declared");
            }
            Append(out, text.substr(from, i - from), name);
            Expand({i, semicolon + 1 - i, &entity->second, inner, true}, out, depth + 1);
            from = semicolon + 1;
            i = semicolon;
        }
        Append(out, text.substr(from), name);
    }

    const TXmlEntities& FEntities;
    const TXmlContentCheck& FCheckContent;
    const std::size_t FMaxBytes;
    const std::size_t FMaxReferences;
    std::size_t FReferences = 0;
    std::vector<const TXmlEntity*> FOpen; ///< the entities being expanded, outermost first
    std::map<const TXmlEntity*, std::vector<TXmlEntityReference>> FContentReferences; ///< checked once each
};

} // namespace

bool IsPredefinedXmlEntity(std::string_view name) {
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

std::string ExpandXmlEntities(std::string_view text, std::size_t skipFrom, std::size_t skipTo,
                              const TXmlEntities& entities, const std::vector<TXmlEntityReference>& references,
                              const TXmlContentCheck& checkContent) {
    TExpander expander(entities, checkContent, text.size(), references.size());
    std::string out;
    out.reserve(text.size());
    // The document's own text, without the document type declaration.
    const auto copy = [&](std::size_t from, std::size_t to) {
        if (from < skipFrom) {
            out.append(text.substr(from, std::min(to, skipFrom) - from));
        }
        if (to > skipTo) {
            from = std::max(from, skipTo);
            out.append(text.substr(from, to - from));
        }
    };
    std::size_t from = 0;
    for (const TXmlEntityReference& reference : references) {
        copy(from, reference.at);
        expander.Expand(reference, out, 0);
        from = reference.at + reference.length;
    }
    copy(from, text.size());
    return out;
}

} // namespace velmora
