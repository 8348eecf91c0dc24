#pragma once

#include "WaylandKeyboard.h"
#include "platform/PasteRuns.h"
#include "platform/TextPastes.h"
#include "platform/TextSender.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// What the virtual-keyboard sender has done so far (for diagnostics and tests).
struct TVirtualTypingStats {
    std::size_t texts = 0;                                         ///< texts handed to the sender
    std::size_t strokes = 0;                                       ///< keys tapped
    std::size_t keymaps = 0;                                       ///< keymaps handed to the compositor
    std::size_t pasted = 0;                                        ///< characters pasted
    std::optional<std::chrono::system_clock::time_point> firstKey; ///< when the first request of a text went out
    std::optional<std::chrono::system_clock::time_point> lastKey;  ///< when the last key went out
};

/// The pauses of the virtual keyboard: what the applications behind the compositor need between the requests. The
/// compositor has handled each keymap before the next request (a round trip); these are for the applications, which
/// tell nothing when they are done.
struct TVirtualKeyboardPacing {
    /// No key this long after the keyboard was made: Sway gives the focused window the keyboard focus anew, and a
    /// browser drops the keys of the moments after (all 122 keys of a text's first keymap, 2 texts in about 50, at
    /// 100 ms; Firefox lost 48 of 1,985 characters in 2 of 8 texts at 0 ms).
    std::chrono::milliseconds newKeyboard{500};
    /// No keymap this long after the last key, so that an application has read the keys of the previous keymap
    /// before the next one arrives (Chromium lost up to 120 of 2,000 characters with no pause around keymaps). The
    /// first keymap of a text waits only when the previous text ended just before.
    std::chrono::milliseconds beforeKeymap{20};
    /// No key this long after a keymap (none needed where the keys before it had time).
    std::chrono::milliseconds afterKeymap{0};
    /// No key this long after a Return or Tab: Firefox (GTK 3, Wayland) can insert keys that arrive while it
    /// handles one of these before keys sent earlier (a run of 32 keys moved up to ten runs back, in one
    /// 2,000-character text of ten, under a load of 15 on 2 cores; at 10 ms with no pause around keymaps, 1 text of 2
    /// arrived in another order at a load of 18).
    std::chrono::milliseconds afterBreak{30};
};

/// Types through the compositor's virtual keyboard, over a Wayland connection of its own: for each run of a text a
/// keymap holding its characters (on keys that type characters on any keyboard), then one key tap per character,
/// with the pauses of TVirtualKeyboardPacing. Exact for any Unicode text; the
/// compositor delivers the keys to the focused surface. The user's keys are not ours to let go of here: the virtual
/// keyboard has a state of its own, and the text's keys reach the application without the user's modifiers.
class TVirtualKeyboardSender final : public ITextSender {
public:
    /// Takes a keyboard connected just now (TWaylandKeyboard throws PlatformError where there is none); given a
    /// `clipboard`, pasted rows go through it with `chord`, and where `pasteWide` characters beyond U+FFFF too
    /// (Chromium takes a key as one UTF-16 unit).
    explicit TVirtualKeyboardSender(std::unique_ptr<TWaylandKeyboard> keyboard, TVirtualKeyboardPacing pacing = {},
                                    std::unique_ptr<IPasteClipboard> clipboard = nullptr,
                                    PasteChord chord = PasteChord::CtrlV, bool pasteWide = true);

    TSendOutcome Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) override;
    /// The chord's key on a keymap of its own, at a US keyboard's position, its modifiers held around it.
    TSendOutcome SendKey(const TKeyChord& chord, ITypingTurn& turn) override;
    /// Through the clipboard given, if any.
    bool Paste(const std::u32string& text, ITypingTurn& turn, std::string& why) override;
    /// The compositor has the keys; the X server of XWayland reads them a moment later.
    std::chrono::milliseconds ListenerGrace() const override { return std::chrono::milliseconds(100); }

    /// A copy of the counters; from any thread.
    TVirtualTypingStats Stats() const;

private:
    /// Types `strokes` as keys; false when the typist stopped.
    bool TypeStrokes(const std::vector<TStroke>& strokes, TSendOutcome& outcome, ITypingTurn& turn);
    /// Pastes `run`, or types it where it did not go; false when the typist stopped.
    bool PasteStrokes(const std::vector<TStroke>& run, TTextPastes& pastes, TSendOutcome& outcome, ITypingTurn& turn);
    /// Hands the compositor `keymap`, with the pauses before and after it; false when the typist stopped.
    bool UseKeymap(const std::string& keymap, ITypingTurn& turn);
    /// Sends the keys queued (`count` of them) and waits until the compositor has them.
    void KeysSent(std::size_t count);
    /// How long the next keys wait for a new keymap.
    std::chrono::milliseconds KeymapWait() const;

    std::unique_ptr<TWaylandKeyboard> FKeyboard;
    std::unique_ptr<IPasteClipboard> FClipboard; ///< none: everything as keys
    PasteChord FChord;
    bool FPasteWide; ///< characters beyond U+FFFF go by paste
    TVirtualKeyboardPacing FPacing;
    std::chrono::steady_clock::time_point FKeysFrom;  ///< no key before: the keyboard is new
    std::chrono::steady_clock::time_point FLastKey{}; ///< when the last key went out
    mutable std::mutex FMutex;
    TVirtualTypingStats FStats;
};

} // namespace velmora
