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

/// Types one batch's strokes in runs; false when typing stopped.
bool PlayStrokes(const TBatch& batch, unsigned shiftKeycode, IKeySender& sender, TPlaybackResult& result) {
    constexpr std::size_t kStrokesPerRun = 16;
    for (std::size_t first = 0; first < batch.strokes.size(); first += kStrokesPerRun) {
        if (!BeginRun(sender)) {
            return false;
        }
        bool shiftDown = false;
        const std::size_t end = std::min(batch.strokes.size(), first + kStrokesPerRun);
        for (std::size_t i = first; i < end; ++i) {
            const TKeyStroke& stroke = batch.strokes[i];
            if (stroke.shift != shiftDown) {
                sender.Key(shiftKeycode, stroke.shift);
                shiftDown = stroke.shift;
            }
            sender.Key(stroke.keycode, true);
            sender.Key(stroke.keycode, false);
            ++result.strokes;
        }
        if (shiftDown) {
            sender.Key(shiftKeycode, false);
        }
        sender.EndRun(result.strokes);
    }
    return true;
}

} // namespace

// The strokes go in runs of a few under one server grab (one round trip for the checks). Shift goes down and up
// inside a run: between runs the server is free, and a key another client presses then would be seen with our Shift
// (a hotkey without Shift would not match and would go to the target instead).
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
        if (!PlayStrokes(batch, plan.shiftKeycode, sender, result)) {
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
