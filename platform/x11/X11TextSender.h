#pragma once

#include "KeyPlayback.h"
#include "X11Clipboard.h"
#include "X11Display.h"
#include "X11TypingLock.h"
#include "platform/TextSender.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace velmora {

/// What the X11 sender has done so far (for diagnostics and measurements).
struct TTypingStats {
    std::size_t texts = 0;          ///< texts handed to the sender
    std::size_t withoutFocus = 0;   ///< texts not typed because no control had the focus
    std::size_t interrupted = 0;    ///< texts cut short because the focus moved or the typist stopped
    std::size_t strokes = 0;        ///< characters and line-break or tab keys sent
    std::size_t dropped = 0;        ///< characters that found no key at all
    std::size_t keymapChanges = 0;  ///< binds and restores of free keycodes
    std::size_t forcedReleases = 0; ///< keys the user still held at the bound and that were let go of
    std::optional<std::chrono::system_clock::time_point> firstKey; ///< when the first key was sent
    std::optional<std::chrono::system_clock::time_point> lastKey;  ///< when the last key had reached the server
};

/// Types through XTest over a connection of its own, into the window that had the focus when the text's turn came;
/// the steps of a text (characters, keys inside it) go there too, or nowhere once the focus has moved.
/// Copies of the program on one display take turns: a text waits while another copy types.
class TX11TextSender final : public ITextSender {
public:
    /// Opens `displayName` (empty: $DISPLAY); throws PlatformError when it cannot be opened or lacks XTest/XKB.
    explicit TX11TextSender(const std::string& displayName = {});

    /// Puts back the keys that a copy which was killed left bound (none while another copy types: those are its).
    void Open(ITypingTurn& turn) override;
    TSendOutcome Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) override;
    /// Holds the chord's modifiers around its key through XTest; a key the keyboard map lacks goes on a free keycode.
    TSendOutcome SendKey(const TKeyChord& chord, ITypingTurn& turn) override;
    /// Through the CLIPBOARD selection by Ctrl+V; into a terminal through PRIMARY too, by Shift+Insert.
    bool Paste(const std::u32string& text, ITypingTurn& turn, std::string& why) override;

    /// A copy of the counters; from any thread.
    TTypingStats Stats() const;

private:
    /// Plans and sends keys on the keyboard as it is now, through the sender it is given.
    using TPlayKeys = std::function<TPlaybackResult(const TKeyboardLayout& layout, IKeySender& sender)>;
    /// Sends keys into the focused control: takes the typing lock, waits until the user has let go of the keys
    /// (`pressedKey` among them), then lets `play` send; nothing when no control has the focus or the typist stops.
    /// False when the rest of the text may not follow: the focus moved, or the typist stops.
    bool Type(std::int32_t pressedKey, ITypingTurn& turn, const TPlayKeys& play);

    TX11Display FDisplay;
    TX11TypingLock FLock;                      // after the display it uses
    Window FTextFocus = None;                  ///< where the text being typed began
    std::unique_ptr<TX11Clipboard> FClipboard; ///< made at the first paste
    mutable std::mutex FMutex;
    TTypingStats FStats;
};

} // namespace velmora
