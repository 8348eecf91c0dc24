#include "VirtualKeyboardSender.h"

#include "KeymapPlan.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

/// Keys sent between two round trips: the compositor's queue stays short and a refusal is noticed soon.
constexpr std::size_t kKeysPerSync = 32;

using Clock = std::chrono::steady_clock;

/// How long until `moment`; nothing once it has passed.
std::chrono::milliseconds Until(Clock::time_point moment) {
    return std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(moment - Clock::now()));
}

} // namespace

TVirtualKeyboardSender::TVirtualKeyboardSender(std::unique_ptr<TWaylandKeyboard> keyboard,
                                               TVirtualKeyboardPacing pacing)
    : FKeyboard(std::move(keyboard)), FPacing(pacing), FKeysFrom(Clock::now() + pacing.newKeyboard) {}

TVirtualTypingStats TVirtualKeyboardSender::Stats() const {
    std::scoped_lock lock(FMutex);
    return FStats;
}

TSendOutcome TVirtualKeyboardSender::Send(const std::u32string& text, std::int32_t /*pressedKey*/, ITypingTurn& turn) {
    {
        std::scoped_lock lock(FMutex);
        ++FStats.texts;
    }
    TSendOutcome outcome;
    const std::vector<TKeymapBatch> batches = PlanKeymaps(WalkText(text), outcome.unsent);
    outcome.why = "no key can carry them.";
    turn.KeysBegin();
    for (const TKeymapBatch& batch : batches) {
        if (!turn.Pause(Until(FLastKey + FPacing.beforeKeymap))) {
            return outcome;
        }
        {
            std::scoped_lock lock(FMutex);
            ++FStats.keymaps;
            if (!FStats.firstKey) {
                FStats.firstKey = std::chrono::system_clock::now();
            }
        }
        FKeyboard->UploadKeymap(batch.keymap);
        if (!turn.Pause(std::max(FPacing.afterKeymap, Until(FKeysFrom)))) {
            return outcome;
        }
        std::size_t sent = 0;
        for (const std::uint32_t key : batch.keys) {
            FKeyboard->Tap(key);
            const bool isBreak = batch.breakKeys.contains(key);
            if (isBreak || ++sent % kKeysPerSync == 0) {
                FKeyboard->Sync();
                if (!turn.Pause(isBreak ? FPacing.afterBreak : std::chrono::milliseconds(0))) {
                    return outcome;
                }
            }
        }
        FKeyboard->Sync();
        FLastKey = Clock::now();
        std::scoped_lock lock(FMutex);
        FStats.strokes += batch.keys.size();
        FStats.lastKey = std::chrono::system_clock::now();
    }
    return outcome;
}

} // namespace velmora
