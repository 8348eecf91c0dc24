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
bool PlayStrokes(const TBatch& batch, IKeySender& sender, TPlaybackResult& result) {
    constexpr std::size_t kStrokesPerRun = 16;
    for (std::size_t first = 0; first < batch.strokes.size(); first += kStrokesPerRun) {
        if (!BeginRun(sender)) {
            return false;
        }
        const TKeyStroke* selected = nullptr; // a run starts in the user's group and modifiers, whichever they are
        const std::size_t end = std::min(batch.strokes.size(), first + kStrokesPerRun);
        for (std::size_t i = first; i < end; ++i) {
            const TKeyStroke& stroke = batch.strokes[i];
            if (selected == nullptr || selected->group != stroke.group || selected->level != stroke.level) {
                sender.Select(stroke.group, stroke.level);
                selected = &stroke;
            }
            sender.Key(stroke.keycode, true);
            sender.Key(stroke.keycode, false);
            ++result.strokes;
        }
        sender.EndRun(result.strokes);
    }
    return true;
}

/// Keys held down for a chord: let go of in the reverse order when it goes, whatever happened meanwhile.
class THeldKeys {
public:
    explicit THeldKeys(IKeySender& sender) : FSender(sender) {}
    ~THeldKeys() {
        for (auto keycode = FKeys.rbegin(); keycode != FKeys.rend(); ++keycode) {
            FSender.Key(*keycode, false);
        }
    }
    THeldKeys(const THeldKeys&) = delete;
    THeldKeys& operator=(const THeldKeys&) = delete;

    void Press(unsigned keycode) {
        FKeys.push_back(keycode); // first: a press that throws half-way is let go of too
        FSender.Key(keycode, true);
    }

private:
    IKeySender& FSender;
    std::vector<unsigned> FKeys;
};

} // namespace

// The strokes go in runs of a few under one server grab (one round trip for the checks). The group and modifiers a
// run selects are the user's again at its end: between runs the server is free, and a key another client presses
// then would be seen with our Shift (a hotkey without Shift would not match and would go to the target instead), or
// typed in our group.
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
        if (!PlayStrokes(batch, sender, result)) {
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

TPlaybackResult PlayChord(const TChordPlan& plan, IKeySender& sender) {
    TPlaybackResult result;
    if (!plan.bindings.empty()) {
        sender.Bind(plan.bindings);
    }
    if (BeginRun(sender)) {
        sender.Select(plan.key.group, plan.key.level);
        {
            THeldKeys held(sender);
            for (const unsigned modifier : plan.modifiers) {
                held.Press(modifier);
            }
            held.Press(plan.key.keycode);
        }
        result.strokes = 1;
        sender.EndRun(result.strokes);
    } else {
        result.interrupted = true;
    }
    if (!plan.bindings.empty()) {
        sender.AwaitTargetRead(result.strokes);
        std::vector<unsigned> keycodes;
        for (const TBinding& binding : plan.bindings) {
            keycodes.push_back(binding.keycode);
        }
        sender.Unbind(keycodes);
    }
    return result;
}

} // namespace velmora
