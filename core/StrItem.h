#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace velmora {

class IXmlNode;

/// The longest pause between a row's characters (its "delay"), in milliseconds.
inline constexpr unsigned kLongestCharacterDelay = 1000;

/// One snippet of the user's list: its text, its hotkey and its enabled flag as last saved.
/// Items are shared: the row that shows an item and a registered hotkey that types it both keep it alive.
struct TStrItem {
    /// A new item: no text, no hotkey, not enabled; or one with these fields.
    TStrItem(std::string text = {}, std::uint8_t modifier = 0, std::int32_t key = 0, bool checked = false)
        : FStr(std::move(text)), FHKCtrl(modifier), FHKChar(key), FChecked(checked) {}

    std::string FStr;         ///< the text's bytes (UTF-8; legacy files: a Windows code page)
    std::uint8_t FHKCtrl = 0; ///< modifier index: 0 none, 1 CTRL, 2 ALT
    std::int32_t FHKChar = 0; ///< virtual-key code of the hotkey's key
    bool FChecked = false;    ///< enabled flag as last saved or loaded
    bool FKeys = false;       ///< the text holds key tokens ({TAB}, {DELAY 500}...); attribute "keys"
    bool FSecret = false;     ///< shown as dots, never put on a clipboard; attribute "secret"
    bool FPaste = false;      ///< pasted through the clipboard rather than typed; attribute "paste"
    unsigned FDelay = 0;      ///< milliseconds between characters, 0 to kLongestCharacterDelay; attribute "delay"
    /// The FStr attribute as it was read when it did not decode (FStr is then "TT"): it is written back unchanged
    /// as long as FStr stays "TT", so that the user's text is not lost; empty otherwise. Whoever gives the item a
    /// new text clears it.
    std::string FStoredStr;

    /// Builds a new item from the attributes of one node of the list document; attributes of other names are
    /// ignored, and a delay beyond the range is brought into it. Throws ConversionError (naming the attribute and the
    /// value) when FHKCtrl, FHKChar, checked, keys, secret, paste or delay do not convert.
    static std::shared_ptr<TStrItem> LoadStrItem(const IXmlNode& node);

    /// Appends one `item` element holding the four fields, in the order FStr, FHKCtrl, FHKChar, checked, then keys,
    /// secret, paste and delay for a row that uses them (none for one that does not, as files without them have).
    void SaveStrItem(IXmlNode& parent) const;
    /// Appends the element SaveStrItem makes, as the document serialises it.
    void AppendItemXml(std::string& out) const;
    /// Writes what AppendItemXml appends at `out`, which has room for ItemXmlSize() bytes; returns their end.
    char* WriteItemXml(char* out) const;
    /// The number of bytes AppendItemXml appends.
    std::size_t ItemXmlSize() const;

    /// The FStr attribute's value as written: the base64 of FStr, or FStoredStr while it applies.
    std::string StoredText() const;

private:
    /// Whether FStoredStr is what is written for the text.
    bool KeepsStoredText() const;
    /// The attributes after "checked" of a row that uses them, each as ` name="value"`; empty for one that does not.
    std::string OptionalAttributes() const;

public:
    friend bool operator==(const TStrItem&, const TStrItem&) = default;
};

using TStrItemPtr = std::shared_ptr<TStrItem>;

} // namespace velmora
