#include "StrItem.h"

#include "Base64.h"
#include "Conversion.h"
#include "XmlDocument.h"

namespace velmora {

TStrItemPtr TStrItem::LoadStrItem(const IXmlNode& node) {
    auto item = std::make_shared<TStrItem>();
    if (const auto text = node.FindAttribute("FStr")) {
        // The attribute's text is UTF-8; base64 is plain ASCII, so its bytes go to the decoder as they are.
        item->FStr = DecodeBase64(*text);
    }
    if (const auto modifier = node.FindAttribute("FHKCtrl")) {
        // Only the low 8 bits are kept ("258" is 2, "-1" is 255).
        item->FHKCtrl = static_cast<std::uint8_t>(ParseInteger("FHKCtrl", *modifier) & 0xFF);
    }
    if (const auto key = node.FindAttribute("FHKChar")) {
        item->FHKChar = ParseInteger("FHKChar", *key);
    }
    if (const auto checked = node.FindAttribute("checked")) {
        item->FChecked = ParseBoolean("checked", *checked);
    }
    return item;
}

void TStrItem::SaveStrItem(IXmlNode& parent) const {
    IXmlNode& element = parent.AppendElement("item");
    element.SetAttributeText("FStr", EncodeBase64(FStr));
    element.SetAttributeInt("FHKCtrl", FHKCtrl);
    element.SetAttributeInt("FHKChar", FHKChar);
    element.SetAttributeBool("checked", FChecked);
}

} // namespace velmora
