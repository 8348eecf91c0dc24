#include "TextWalk.h"

#include "core/TextCodec.h"

namespace velmora {

std::vector<TStroke> WalkText(std::u32string_view text) {
    std::vector<TStroke> strokes;
    strokes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r') {
            if (i + 1 < text.size() && text[i + 1] == U'\n') {
                ++i;
            }
            strokes.push_back({StrokeKind::Return, 0});
        } else if (c == U'\n') {
            strokes.push_back({StrokeKind::Return, 0});
        } else if (c == U'\t') {
            strokes.push_back({StrokeKind::Tab, 0});
        } else {
            strokes.push_back({StrokeKind::Character, c});
        }
    }
    return strokes;
}

std::vector<TStroke> WalkBytes(std::string_view bytes) {
    return WalkText(TextToUnicode(bytes));
}

} // namespace velmora
