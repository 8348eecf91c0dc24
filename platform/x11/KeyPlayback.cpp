#include "KeyPlayback.h"

namespace velmora {

TPlaybackResult PlayPlan(const TTypingPlan& plan, IKeySender& sender) {
    TPlaybackResult result;
    bool shiftDown = false;
    bool boundBefore = false;
    for (const TBatch& batch : plan.batches) {
        if (!batch.bindings.empty()) {
            if (boundBefore) {
                if (shiftDown) {
                    sender.Key(plan.shiftKeycode, false);
                    shiftDown = false;
                }
                sender.AwaitTargetRead();
            }
            sender.Bind(batch.bindings);
            boundBefore = true;
        }
        for (const TKeyStroke& stroke : batch.strokes) {
            if (!sender.BeginStroke()) {
                result.interrupted = true;
                break;
            }
            if (stroke.shift != shiftDown) {
                sender.Key(plan.shiftKeycode, stroke.shift);
                shiftDown = stroke.shift;
            }
            sender.Key(stroke.keycode, true);
            sender.Key(stroke.keycode, false);
            sender.EndStroke();
            ++result.strokes;
        }
        if (result.interrupted) {
            break;
        }
    }
    if (shiftDown) {
        sender.Key(plan.shiftKeycode, false);
    }
    return result;
}

} // namespace velmora
