#include "KeyPlayback.h"

#include <algorithm>
#include <set>

namespace velmora {

namespace {

/// Begins a run of strokes once the user holds no key; false when no more strokes may be typed.
bool BeginRun(IKeySender& sender) {
    for (;;) {
        switch (sender.BeginRun()) {
        case ERunStart::Go:
            return true;
        case ERunStart::Stop:
            return false;
        case ERunStart::KeysHeld:
            if (!sender.AwaitUserKeys()) {
                return false;
            }
            break;
        }
    }
}

/// The modifier keys a run holds down and the group it types in.
class TRunState {
public:
    TRunState(const TTypingPlan& plan, IKeySender& sender) : FPlan(plan), FSender(sender) {}

    /// Sets the group and the modifiers of the stroke's level. The Level3 shift goes down before Shift: a key that
    /// sets it may type something else with Shift held.
    void Prepare(const TKeyStroke& stroke) {
        const bool shift = (stroke.level & 1U) != 0;
        const bool level3 = (stroke.level & 2U) != 0;
        if (level3 != FLevel3) {
            if (level3 && FShift) {
                SetShift(false);
            }
            FSender.Key(FPlan.level3Keycode, level3);
            FLevel3 = level3;
        }
        SetShift(shift);
        if (FGroup != stroke.group) {
            FSender.Group(stroke.group);
            FGroup = stroke.group;
        }
    }
    /// Lets go of the modifiers.
    void End() {
        SetShift(false);
        if (FLevel3) {
            FSender.Key(FPlan.level3Keycode, false);
            FLevel3 = false;
        }
    }

private:
    void SetShift(bool down) {
        if (down != FShift) {
            FSender.Key(FPlan.shiftKeycode, down);
            FShift = down;
        }
    }

    const TTypingPlan& FPlan;
    IKeySender& FSender;
    bool FShift = false;
    bool FLevel3 = false;
    unsigned FGroup = kKeyGroups; ///< none yet: a run starts in the user's group, whichever it is
};

/// Types one batch's strokes in runs; false when typing stopped.
bool PlayStrokes(const TTypingPlan& plan, const TBatch& batch, IKeySender& sender, TPlaybackResult& result) {
    constexpr std::size_t kStrokesPerRun = 16;
    for (std::size_t first = 0; first < batch.strokes.size(); first += kStrokesPerRun) {
        if (!BeginRun(sender)) {
            return false;
        }
        TRunState state(plan, sender);
        const std::size_t end = std::min(batch.strokes.size(), first + kStrokesPerRun);
        for (std::size_t i = first; i < end; ++i) {
            const TKeyStroke& stroke = batch.strokes[i];
            state.Prepare(stroke);
            sender.Key(stroke.keycode, true);
            sender.Key(stroke.keycode, false);
            ++result.strokes;
        }
        state.End();
        sender.EndRun(result.strokes);
    }
    return true;
}

} // namespace

// The strokes go in runs of a few under one server grab (one round trip for the checks). The modifiers go down and
// up inside a run, and the user's group is back at its end: between runs the server is free, and a key another
// client presses then would be seen with our Shift (a hotkey without Shift would not match and would go to the
// target instead), or typed in our group.
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender) {
    TPlaybackResult result;
    std::set<unsigned> bound;
    for (const TBatch& batch : plan.batches) {
        if (!batch.bindings.empty()) {
            if (batch.readBefore > 0 && !sender.AwaitTargetRead(batch.readBefore)) {
                result.interrupted = true;
                break;
            }
            sender.Bind(batch.bindings);
            for (const TBinding& binding : batch.bindings) {
                bound.insert(binding.keycode);
            }
        }
        if (!PlayStrokes(plan, batch, sender, result)) {
            result.interrupted = true;
            break;
        }
    }
    if (!bound.empty()) {
        // The target may still be translating keys that use the bound keycodes. A typist that is stopping does not
        // wait: the keymap goes back at once.
        sender.AwaitTargetRead(result.strokes);
        sender.Unbind({bound.begin(), bound.end()});
    }
    return result;
}

} // namespace velmora
