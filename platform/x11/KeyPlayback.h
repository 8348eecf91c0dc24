#pragma once

#include "KeyPlan.h"

#include <cstddef>
#include <vector>

namespace velmora {

/// Whether a stroke may begin.
enum class EStrokeStart {
    Go,       ///< type it now
    KeysHeld, ///< the user holds a key: while a grabbed hotkey is down, X would give our keys to its grab
    Stop,     ///< the focus moved or the typist is stopping
};

/// The low-level keyboard the typist drives.
class IKeySender {
public:
    IKeySender() = default;
    IKeySender(const IKeySender&) = delete;
    IKeySender& operator=(const IKeySender&) = delete;
    virtual ~IKeySender() = default;

    /// Binds free keycodes to characters, in one keymap change.
    virtual void Bind(const std::vector<TBinding>& bindings) = 0;
    /// Returns once the target has had time to read every key sent so far, before their keycodes change meaning.
    virtual void AwaitTargetRead() = 0;
    /// Presses or releases one key.
    virtual void Key(unsigned keycode, bool press) = 0;
    /// Whether the next strokes may be typed: Go when the focus is still where the text started, no key is down and
    /// the typist is not stopping; then neither the focus nor the keys can change until EndStroke. On KeysHeld or
    /// Stop there is nothing to end.
    virtual EStrokeStart BeginStroke() = 0;
    /// Ends the strokes that BeginStroke allowed.
    virtual void EndStroke() = 0;
    /// Waits until the user has let go of every key; keys still held at the bound are let go of for the user
    /// (modifiers first) and never pressed again. False when the typist is stopping.
    virtual bool AwaitUserKeys() = 0;
};

/// What became of a played plan.
struct TPlaybackResult {
    std::size_t strokes = 0;  ///< strokes sent
    bool interrupted = false; ///< stopped before the end (focus moved or the typist stopped)
};

/// Types the plan's batches in order: binds each batch's characters (after the target has read the keys of the
/// batch before), then taps each key in runs of a few strokes, with Shift down only within a run and across the
/// strokes that need it. A run waits while the user holds a key. Stops at the first run that may not be typed.
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender);

} // namespace velmora
