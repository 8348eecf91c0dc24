#pragma once

#include "KeyPlan.h"

#include <cstddef>
#include <vector>

namespace velmora {

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
    /// Whether the next stroke may be typed: the focus is still where the text started and the typist is not
    /// stopping. When true, the focus cannot move until EndStroke.
    virtual bool BeginStroke() = 0;
    /// Ends the stroke that BeginStroke allowed.
    virtual void EndStroke() = 0;
};

/// What became of a played plan.
struct TPlaybackResult {
    std::size_t strokes = 0;  ///< strokes sent
    bool interrupted = false; ///< stopped before the end (focus moved or the typist stopped)
};

/// Types the plan's batches in order: binds each batch's characters (after the target has read the keys of the
/// batch before), then taps each key, holding Shift only across the strokes that need it. Stops at the first stroke
/// that may not be typed.
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender);

} // namespace velmora
