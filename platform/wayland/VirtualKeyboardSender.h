#pragma once

#include "WaylandKeyboard.h"
#include "platform/PasteRuns.h"
#include "platform/TextPastes.h"
#include "platform/TextSender.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace velmora {

/// What the virtual-keyboard sender has done so far (for diagnostics and tests).
struct TVirtualTypingStats {
    std::size_t texts = 0;   ///< texts handed to the sender
    std::size_t strokes = 0; ///< keys tapped
    std::size_t keymaps = 0; ///< keymaps handed to the compositor
    std::size_t pasted = 0;  ///< characters pasted
};

/// Types through the compositor's virtual keyboard, over a Wayland connection of its own: for each run of a text a
/// keymap holding its characters (on keys that type characters on any keyboard), a short settle, then one key tap
/// per character. Exact for any Unicode text; the
/// compositor delivers the keys to the focused surface. The user's keys are not ours to let go of here: the virtual
/// keyboard has a state of its own, and the text's keys reach the application without the user's modifiers.
class TVirtualKeyboardSender final : public ITextSender {
public:
    /// A new keymap can cost keys after it when they follow at once (Chromium lost up to 120 of 2,000 characters
    /// with none; 50 ms was enough in every run measured).
    static constexpr std::chrono::milliseconds kDefaultSettle{100};

    /// A keyboard the compositor has just added: Sway gives the focused window the keyboard focus anew, and a
    /// browser drops the keys of the moments after (measured: all 122 keys of a text's first keymap, 2 texts in
    /// about 50, typed 100 ms after the keyboard came).
    static constexpr std::chrono::milliseconds kNewKeyboardWait{500};

    /// Takes a keyboard connected just now (TWaylandKeyboard throws PlatformError where there is none); given a
    /// `clipboard`, characters beyond U+FFFF go by paste with `chord` (Chromium takes a key as one UTF-16 unit).
    explicit TVirtualKeyboardSender(std::unique_ptr<TWaylandKeyboard> keyboard,
                                    std::chrono::milliseconds settle = kDefaultSettle,
                                    std::unique_ptr<IPasteClipboard> clipboard = nullptr,
                                    PasteChord chord = PasteChord::CtrlV);

    TSendOutcome Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) override;
    /// The compositor has the keys; the X server of XWayland reads them a moment later.
    std::chrono::milliseconds ListenerGrace() const override { return std::chrono::milliseconds(100); }

    /// A copy of the counters; from any thread.
    TVirtualTypingStats Stats() const;

private:
    /// Types `strokes` as keys; false when the typist stopped.
    bool TypeStrokes(const std::vector<TStroke>& strokes, TSendOutcome& outcome, ITypingTurn& turn);
    /// Pastes `run`, or types it where it did not go; false when the typist stopped.
    bool PasteStrokes(const std::vector<TStroke>& run, TTextPastes& pastes, TSendOutcome& outcome, ITypingTurn& turn);
    /// How long the next keys wait for a new keymap.
    std::chrono::milliseconds KeymapWait() const;

    std::unique_ptr<TWaylandKeyboard> FKeyboard;
    std::unique_ptr<IPasteClipboard> FClipboard; ///< none: everything as keys
    PasteChord FChord;
    std::chrono::milliseconds FSettle;
    std::chrono::steady_clock::time_point FKeysFrom; ///< no key before: the keyboard is new
    mutable std::mutex FMutex;
    TVirtualTypingStats FStats;
};

} // namespace velmora
