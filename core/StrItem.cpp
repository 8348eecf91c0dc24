#include "StrItem.h"

#include "Base64.h"
#include "Conversion.h"
#include "XmlDocument.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>

namespace velmora {

namespace {

// The attribute's UTF-8 text as the decoder is to count it, one byte per character: ASCII stays, any other
// character becomes one byte outside the base64 alphabet (which decodes as 0).
std::string_view OneBytePerCharacter(std::string_view text, std::string& storage) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return text;
    }
    storage.clear();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            storage += c;
        } else if ((byte & 0xC0) != 0x80) {
            storage += '\x80';
        }
    }
    return storage;
}

} // namespace

TStrItemPtr TStrItem::LoadStrItem(const IXmlNode& node) {
    static constexpr std::string_view kNames[] = {"FStr", "FHKCtrl", "FHKChar", "checked",
                                                  "keys", "secret",  "paste",   "delay"};
    std::optional<std::string_view> values[std::size(kNames)];
    node.FindAttributes(kNames, values);
    const auto& [text, modifier, key, checked, keys, secret, paste, delay] = values;
    auto item = std::make_shared<TStrItem>();
    if (text) {
        std::string storage;
        const std::string_view characters = OneBytePerCharacter(*text, storage);
        item->FStr = DecodeBase64(characters);
        if (characters.size() % 4 != 0) {
            item->FStoredStr = *text; // "TT" stands in for a value that does not decode
        }
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
    item->FKeys = keys && ParseBoolean("keys", *keys);
    item->FSecret = secret && ParseBoolean("secret", *secret);
    item->FPaste = paste && ParseBoolean("paste", *paste);
    if (delay) {
        item->FDelay = static_cast<unsigned>(std::clamp<std::int64_t>(
            ParseInteger("delay", *delay), 0, static_cast<std::int64_t>(kLongestCharacterDelay)));
    }
    return item;
}

std::string TStrItem::OptionalAttributes() const {
    std::string out;
    if (FKeys) {
        out += " keys=\"True\"";
    }
    if (FSecret) {
        out += " secret=\"True\"";
    }
    if (FPaste) {
        out += " paste=\"True\"";
    }
    if (FDelay != 0) {
        out += " delay=\"" + std::to_string(FDelay) + "\"";
    }
    return out;
}

void TStrItem::SaveStrItem(IXmlNode& parent) const {
    IXmlNode& element = parent.AppendElement("item");
    element.SetAttributeText("FStr", StoredText());
    element.SetAttributeInt("FHKCtrl", FHKCtrl);
    element.SetAttributeInt("FHKChar", FHKChar);
    element.SetAttributeBool("checked", FChecked);
    if (FKeys) {
        element.SetAttributeBool("keys", true);
    }
    if (FSecret) {
        element.SetAttributeBool("secret", true);
    }
    if (FPaste) {
        element.SetAttributeBool("paste", true);
    }
    if (FDelay != 0) {
        element.SetAttributeInt("delay", static_cast<std::int64_t>(FDelay));
    }
}

namespace {

constexpr std::string_view kItemOpen = "<item FStr=\"";
constexpr std::string_view kCtrlKey = "\" FHKCtrl=\"";
constexpr std::string_view kCharKey = "\" FHKChar=\"";
constexpr std::string_view kCheckedKey = "\" checked=\"";
constexpr std::string_view kValueClose = "\"";
constexpr std::string_view kElementClose = "/>";

char* Put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Characters of an attribute value that are written as references, as the document's serialiser writes them.
constexpr bool NeedsReference(unsigned char c) {
    return c < 0x20 || c == '&' || c == '<' || c == '"';
}

std::size_t ReferenceSize(unsigned char c) {
    switch (c) {
    case '&':
        return 5; // &amp;
    case '<':
        return 4; // &lt;
    case '"':
        return 6; // &quot;
    default:
        return 5; // &#NN;
    }
}

char* PutReference(char* out, unsigned char c) {
    switch (c) {
    case '&':
        return Put(out, "&amp;");
    case '<':
        return Put(out, "&lt;");
    case '"':
        return Put(out, "&quot;");
    default: {
        const char digits[] = {'&', '#', static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), ';'};
        return Put(out, std::string_view(digits, sizeof digits));
    }
    }
}

std::size_t EscapedSize(std::string_view value) {
    std::size_t size = 0;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        size += NeedsReference(byte) ? ReferenceSize(byte) : 1;
    }
    return size;
}

char* PutEscaped(char* out, std::string_view value) {
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsReference(byte)) {
            out = PutReference(out, byte);
        } else {
            *out++ = c;
        }
    }
    return out;
}

std::size_t DigitCount(std::int64_t value) {
    char digits[24];
    return static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
}

char* PutInteger(char* out, std::int64_t value) {
    return std::to_chars(out, out + 24, value).ptr; // the room was counted by DigitCount
}

} // namespace

bool TStrItem::KeepsStoredText() const {
    return !FStoredStr.empty() && FStr == "TT";
}

std::string TStrItem::StoredText() const {
    return KeepsStoredText() ? FStoredStr : EncodeBase64(FStr);
}

void TStrItem::AppendItemXml(std::string& out) const {
    const std::size_t start = out.size();
    out.resize(start + ItemXmlSize());
    WriteItemXml(out.data() + start);
}

char* TStrItem::WriteItemXml(char* out) const {
    out = Put(out, kItemOpen);
    out = KeepsStoredText() ? PutEscaped(out, FStoredStr) : WriteBase64(out, FStr);
    out = Put(out, kCtrlKey);
    out = PutInteger(out, FHKCtrl);
    out = Put(out, kCharKey);
    out = PutInteger(out, FHKChar);
    out = Put(out, kCheckedKey);
    out = Put(out, BooleanText(FChecked));
    out = Put(out, kValueClose);
    out = Put(out, OptionalAttributes());
    return Put(out, kElementClose);
}

std::size_t TStrItem::ItemXmlSize() const {
    const std::size_t textSize = KeepsStoredText() ? EscapedSize(FStoredStr) : Base64Size(FStr.size());
    return kItemOpen.size() + textSize + kCtrlKey.size() + DigitCount(FHKCtrl) + kCharKey.size() + DigitCount(FHKChar) +
           kCheckedKey.size() + std::string_view(BooleanText(FChecked)).size() + kValueClose.size() +
           OptionalAttributes().size() + kElementClose.size();
}

} // namespace velmora
