#include "KeyPlayback.h"

namespace velmora {

namespace {

/// Begins a stroke once the user holds no key; false when the stroke may not be typed.
bool BeginStroke(IKeySender& sender) {
    for (;;) {
        switch (sender.BeginStroke()) {
        case EStrokeStart::Go:
            return true;
        case EStrokeStart::Stop:
            return false;
        case EStrokeStart::KeysHeld:
            if (!sender.AwaitUserKeys()) {
                return false;
            }
            break;
        }
    }
}

} // namespace

// Shift goes down and up inside the stroke: between strokes the server is free, and a key another client presses
// then would be seen with our Shift (a hotkey without Shift would not match and would go to the target instead).
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender) {
    TPlaybackResult result;
    bool boundBefore = false;
    for (const TBatch& batch : plan.batches) {
        if (!batch.bindings.empty()) {
            if (boundBefore) {
                sender.AwaitTargetRead();
            }
            sender.Bind(batch.bindings);
            boundBefore = true;
        }
        for (const TKeyStroke& stroke : batch.strokes) {
            if (!BeginStroke(sender)) {
                result.interrupted = true;
                break;
            }
            if (stroke.shift) {
                sender.Key(plan.shiftKeycode, true);
            }
            sender.Key(stroke.keycode, true);
            sender.Key(stroke.keycode, false);
            if (stroke.shift) {
                sender.Key(plan.shiftKeycode, false);
            }
            sender.EndStroke();
            ++result.strokes;
        }
        if (result.interrupted) {
            break;
        }
    }
    return result;
}

} // namespace velmora
