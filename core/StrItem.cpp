#include "StrItem.h"

#include "Base64.h"
#include "Conversion.h"
#include "XmlDocument.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>

namespace velmora {

TStrItemPtr TStrItem::LoadStrItem(const IXmlNode& node) {
    static constexpr std::string_view kNames[] = {"FStr", "FHKCtrl", "FHKChar", "checked"};
    std::optional<std::string_view> values[std::size(kNames)];
    node.FindAttributes(kNames, values);
    const auto& [text, modifier, key, checked] = values;
    auto item = std::make_shared<TStrItem>();
    if (text) {
        // The attribute's text is UTF-8; base64 is plain ASCII, so its bytes go to the decoder as they are.
        item->FStr = DecodeBase64(*text);
    }
    if (modifier) {
        // Only the low 8 bits are kept ("258" is 2, "-1" is 255).
        item->FHKCtrl = static_cast<std::uint8_t>(ParseInteger("FHKCtrl", *modifier) & 0xFF);
    }
    if (key) {
        item->FHKChar = ParseInteger("FHKChar", *key);
    }
    if (checked) {
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

namespace {

constexpr std::string_view kItemOpen = "<item FStr=\"";
constexpr std::string_view kCtrlKey = "\" FHKCtrl=\"";
constexpr std::string_view kCharKey = "\" FHKChar=\"";
constexpr std::string_view kCheckedKey = "\" checked=\"";
constexpr std::string_view kItemClose = "\"/>";

std::size_t DigitCount(std::int64_t value) {
    char digits[24];
    return static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
}

char* Put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* PutInteger(char* out, std::int64_t value) {
    return std::to_chars(out, out + 24, value).ptr; // the room was counted by DigitCount
}

} // namespace

void TStrItem::AppendItemXml(std::string& out) const {
    const std::size_t start = out.size();
    out.resize(start + ItemXmlSize());
    WriteItemXml(out.data() + start);
}

char* TStrItem::WriteItemXml(char* out) const {
    out = Put(out, kItemOpen);
    out = WriteBase64(out, FStr);
    out = Put(out, kCtrlKey);
    out = PutInteger(out, FHKCtrl);
    out = Put(out, kCharKey);
    out = PutInteger(out, FHKChar);
    out = Put(out, kCheckedKey);
    out = Put(out, BooleanText(FChecked));
    return Put(out, kItemClose);
}

std::size_t TStrItem::ItemXmlSize() const {
    return kItemOpen.size() + Base64Size(FStr.size()) + kCtrlKey.size() + DigitCount(FHKCtrl) + kCharKey.size() +
           DigitCount(FHKChar) + kCheckedKey.size() + std::string_view(BooleanText(FChecked)).size() +
           kItemClose.size();
}

} // namespace velmora
