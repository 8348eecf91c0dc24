#include "KeyPlayback.h"

#include <algorithm>

namespace velmora {

namespace {

/// Begins a run of strokes once the user holds no key; false when no more strokes may be typed.
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

// The strokes go in runs of a few under one server grab (one round trip for the checks). Shift goes down and up
// inside a run: between runs the server is free, and a key another client presses then would be seen with our Shift
// (a hotkey without Shift would not match and would go to the target instead).
TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender) {
    constexpr std::size_t kStrokesPerRun = 16;
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
        for (std::size_t first = 0; first < batch.strokes.size(); first += kStrokesPerRun) {
            if (!BeginStroke(sender)) {
                result.interrupted = true;
                break;
            }
            bool shiftDown = false;
            const std::size_t end = std::min(batch.strokes.size(), first + kStrokesPerRun);
            for (std::size_t i = first; i < end; ++i) {
                const TKeyStroke& stroke = batch.strokes[i];
                if (stroke.shift != shiftDown) {
                    sender.Key(plan.shiftKeycode, stroke.shift);
                    shiftDown = stroke.shift;
                }
                sender.Key(stroke.keycode, true);
                sender.Key(stroke.keycode, false);
                ++result.strokes;
            }
            if (shiftDown) {
                sender.Key(plan.shiftKeycode, false);
            }
            sender.EndStroke();
        }
        if (result.interrupted) {
            break;
        }
    }
    return result;
}

} // namespace velmora
