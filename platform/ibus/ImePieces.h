#pragma once

#include "platform/TextWalk.h"

#include <string>
#include <vector>

namespace velmora {

/// One piece of a text for an input method: its characters committed as one string, then the Return and Tab
/// keys that follow them, which the application gets as keys (a Tab may move the focus to another field).
struct TImePiece {
    std::u32string text;
    std::vector<StrokeKind> keys;

    bool operator==(const TImePiece&) const = default;
};

/// The pieces of a text's strokes: a new piece starts at each character that follows a key.
std::vector<TImePiece> ImePieces(const std::vector<TStroke>& strokes);

} // namespace velmora
