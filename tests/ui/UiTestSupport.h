#pragma once

#include "core/ListFile.h"
#include "core/StrItem.h"
#include "core/XmlDocument.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::testing {

inline TStrItemPtr MakeItem(std::string text, std::uint8_t modifier, std::int32_t key, bool checked = true) {
    return std::make_shared<TStrItem>(std::move(text), modifier, key, checked);
}

/// The bytes of a list file holding these items.
inline std::string ListFileBytes(const std::vector<TStrItemPtr>& items) {
    auto document = CreateXmlDocument();
    document->LoadText(ListTemplateText());
    for (const auto& item : items) {
        item->SaveStrItem(document->Root());
    }
    return document->SaveText();
}

/// The items of a list file's bytes.
inline std::vector<TStrItem> ListFileItems(const std::string& bytes) {
    auto document = CreateXmlDocument();
    document->LoadText(bytes);
    std::vector<TStrItem> items;
    for (std::size_t i = 0; i < document->Root().ChildCount(); ++i) {
        items.push_back(*TStrItem::LoadStrItem(document->Root().Child(i)));
    }
    return items;
}

} // namespace velmora::testing
