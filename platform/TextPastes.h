#pragma once

#include "PasteClipboard.h"
#include "TextSender.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

/// The keys of one paste, as a route sends them.
struct TPasteKeys {
    std::function<void()> press;   ///< the keys up to and including the press of the key that pastes
    std::function<void()> release; ///< the rest
};

/// What became of one paste.
enum class PasteResult {
    Taken,      ///< the application asked for it
    Secret,     ///< a secret row's: nothing went on the clipboard
    Unreadable, ///< the user's clipboard could not be read whole: nothing went on the clipboard
    Refused,    ///< the desktop refused the clipboard, or the typist stopped: no key went
    NotTaken,   ///< the keys went, but no application asked for it
};

/// The pastes of one text through a clipboard: the user's content is read before the first and put back when the
/// text ends, however it ends. A paste counts as taken only by a request that came after its keys went, so that a
/// clipboard manager's read of the new content is not taken for the application's. Nothing of a secret row's text
/// ever goes on the clipboard. The typist's thread only.
class TTextPastes final {
public:
    /// Pastes through `clipboard`, pausing by `turn`.
    TTextPastes(IPasteClipboard& clipboard, ITypingTurn& turn);
    /// Puts the user's content back if it was read.
    ~TTextPastes();
    TTextPastes(const TTextPastes&) = delete;
    TTextPastes& operator=(const TTextPastes&) = delete;

    /// Pastes `run` by `keys`.
    PasteResult Paste(std::u32string_view run, const TPasteKeys& keys);

private:
    IPasteClipboard& FClipboard;
    ITypingTurn& FTurn;
    std::optional<bool> FKept; ///< whether the user's content was read, once a paste needed it
};

/// Why a route pastes nothing (the end of a sentence).
inline constexpr const char* kNoPasteClipboard = "this desktop offers Velmora no clipboard to paste through.";

/// Why a run of characters the layout lacks did not go by paste (the end of a sentence); none when it was taken.
const char* LackingCharactersWhy(PasteResult result);

/// Pastes a whole text through `clipboard` and puts the user's content back. False, with `why` ending a sentence,
/// when the application did not take it (also when the keys went but it did not ask for the text): it is to be
/// typed then.
bool PasteWholeText(IPasteClipboard& clipboard, std::u32string_view text, const TPasteKeys& keys, ITypingTurn& turn,
                    std::string& why);

} // namespace velmora
