#pragma once

#include "KeyPlan.h"

#include <cstddef>
#include <vector>

namespace velmora {

/// Whether a run of strokes may begin.
enum class ERunStart {
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

    /// Gives the keycodes the content of the bindings, in one keymap change.
    virtual void Bind(const std::vector<TBinding>& bindings) = 0;
    /// Empties the keycodes again, in one keymap change.
    virtual void Unbind(const std::vector<unsigned>& keycodes) = 0;
    /// Returns once the target has translated the first `strokes` strokes of the text; false when the typist is
    /// stopping meanwhile.
    virtual bool AwaitTargetRead(std::size_t strokes) = 0;
    /// Presses or releases one key.
    virtual void Key(unsigned keycode, bool press) = 0;
    /// Makes the next keys of the run type in this layout group at this level: the group and the level's modifiers
    /// (Shift, the Level3 shift) are locked, without a key event. The user's own come back when the run ends.
    virtual void Select(unsigned group, unsigned level) = 0;
    /// Whether the next run of strokes may be typed: Go when the focus is still where the text started, no key is
    /// down and the typist is not stopping; then neither the focus nor the keys can change until EndRun. On
    /// KeysHeld or Stop there is nothing to end.
    virtual ERunStart BeginRun() = 0;
    /// Ends the run that BeginRun allowed; `strokesSent` strokes of the text have been sent by now.
    virtual void EndRun(std::size_t strokesSent) = 0;
    /// Waits until the user has let go of the keys; see AwaitKeysReleased. False when the typist is stopping.
    virtual bool AwaitUserKeys() = 0;
};

/// What became of a played plan.
struct TPlaybackResult {
    std::size_t strokes = 0;  ///< strokes sent
    bool interrupted = false; ///< stopped before the end (focus moved or the typist stopped)
};

/// Types the plan's batches in order: changes the keymap before each batch that binds (once the target has read
/// the strokes that used the keycodes' old content), then taps each key in runs of a few strokes, each in its group
/// and at its level, selected anew whenever they change. A run waits
/// while the user holds a key. Stops at the first run that may not be typed. Every keycode it bound is emptied again at
/// the end, once the target has read what was sent (at once when the typist is stopping).
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender);

/// Presses a key inside a text: binds its free keycode if the plan has one, then in one run, once the user holds no
/// key, holds the modifiers' keys down, taps the key and lets go of the modifiers in reverse order (also when a step
/// throws); empties the keycode again once the target has read the key.
TPlaybackResult PlayChord(const TChordPlan& plan, IKeySender& sender);

} // namespace velmora
