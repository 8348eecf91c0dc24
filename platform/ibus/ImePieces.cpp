#include "ImePieces.h"

namespace velmora {

std::vector<TImePiece> ImePieces(const std::vector<TStroke>& strokes) {
    std::vector<TImePiece> pieces;
    for (const TStroke& stroke : strokes) {
        if (pieces.empty() || (stroke.kind == StrokeKind::Character && !pieces.back().keys.empty())) {
            pieces.emplace_back();
        }
        if (stroke.kind == StrokeKind::Character) {
            pieces.back().text += stroke.character;
        } else {
            pieces.back().keys.push_back(stroke.kind);
        }
    }
    return pieces;
}

} // namespace velmora
