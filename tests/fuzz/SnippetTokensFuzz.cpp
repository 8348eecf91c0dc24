// ParseSnippet on arbitrary text (the unit tests hold the table of tokens; this holds the round trip). Properties: an
// error names an offset inside the text and leaves no pieces; otherwise no Text piece is empty or follows another,
// pauses stay within 60 s, the caret has one place at most, and the pieces format back to a text that reads as the same
// pieces.

#include "core/SnippetTokens.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using velmora::TSnippetPiece;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const velmora::TSnippetParse parse = velmora::ParseSnippet(input);
    if (parse.error) {
        FUZZ_CHECK(parse.error->offset < input.size());
        FUZZ_CHECK(parse.pieces.empty());
        FUZZ_CHECK(!parse.error->message.empty());
        return 0;
    }
    int cursors = 0;
    for (std::size_t i = 0; i < parse.pieces.size(); ++i) {
        const TSnippetPiece& piece = parse.pieces[i];
        if (piece.kind == TSnippetPiece::Kind::Text) {
            FUZZ_CHECK(!piece.text.empty());
            FUZZ_CHECK(i == 0 || parse.pieces[i - 1].kind != TSnippetPiece::Kind::Text);
        }
        FUZZ_CHECK(piece.milliseconds <= velmora::kLongestTokenDelay);
        cursors += piece.kind == TSnippetPiece::Kind::Cursor ? 1 : 0;
    }
    FUZZ_CHECK(cursors <= 1);
    const velmora::TSnippetParse again = velmora::ParseSnippet(velmora::FormatSnippet(parse.pieces));
    FUZZ_CHECK(!again.error);
    FUZZ_CHECK(again.pieces == parse.pieces);
    return 0;
}
