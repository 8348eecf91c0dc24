#include "PasteClipboard.h"

#include "core/TextCodec.h"

namespace velmora {

TClipboardContent PasteContent(std::u32string_view run) {
    std::string text;
    for (const char32_t c : run) {
        AppendUtf8(text, c);
    }
    return {{kClipboardTextType, text}, {"text/plain", text}, {"UTF8_STRING", text}, {kSecretHintType, "secret"}};
}

bool MarkedSecret(const TClipboardContent& content) {
    const auto hint = content.find(kSecretHintType);
    return hint != content.end() && hint->second.starts_with("secret");
}

TClipboardContent RestoredContent(const TClipboardContent& kept) {
    return MarkedSecret(kept) ? TClipboardContent{} : kept;
}

} // namespace velmora
