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
    /// Whether typing may go on: the focus is still where the text started and the typist is not stopping.
    virtual bool MayContinue() = 0;
};

/// What became of a played plan.
struct TPlaybackResult {
    std::size_t strokes = 0;  ///< strokes sent
    bool interrupted = false; ///< stopped before the end (focus moved or the typist stopped)
};

/// Types the plan's batches in order: binds each batch's characters (after the target has read the keys of the
/// batch before), then taps each key, holding Shift only across the strokes that need it.
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender);

} // namespace velmora
