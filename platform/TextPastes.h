#pragma once

#include "PasteClipboard.h"
#include "TextSender.h"

#include <functional>
#include <optional>
#include <string_view>

namespace velmora {

/// The keys of one paste, as a route sends them.
struct TPasteKeys {
    std::function<void()> press;   ///< the keys up to and including the press of the key that pastes
    std::function<void()> release; ///< the rest
};

/// The pastes of one text through a clipboard: the user's content is read before the first and put back when the
/// text ends, however it ends. A paste counts as taken only by a request that came after its keys went, so that a
/// clipboard manager's read of the new content is not taken for the application's. The typist's thread only.
class TTextPastes final {
public:
    /// Why a run was not pasted: the user's clipboard could not be read whole.
    static constexpr const char* kUnreadable = "your keyboard layout has no key for them, and your clipboard could not "
                                               "be read to be put back after a paste.";
    /// Why a run was not pasted: no application asked for it.
    static constexpr const char* kNotTaken =
        "your keyboard layout has no key for them, and the application did not take them from the clipboard.";

    /// Pastes through `clipboard`, pausing by `turn`.
    TTextPastes(IPasteClipboard& clipboard, ITypingTurn& turn);
    /// Puts the user's content back if it was read.
    ~TTextPastes();
    TTextPastes(const TTextPastes&) = delete;
    TTextPastes& operator=(const TTextPastes&) = delete;

    /// Pastes `run` by `keys`; none when the application took it, else why not.
    const char* Paste(std::u32string_view run, const TPasteKeys& keys);

private:
    IPasteClipboard& FClipboard;
    ITypingTurn& FTurn;
    std::optional<bool> FKept; ///< whether the user's content was read, once a paste needed it
};

} // namespace velmora
