#include "VirtualKeyboardSender.h"

#include "KeymapPlan.h"

#include <utility>

namespace velmora {

namespace {

/// Keys sent between two round trips: the compositor's queue stays short and a refusal is noticed soon.
constexpr std::size_t kKeysPerSync = 32;

} // namespace

TVirtualKeyboardSender::TVirtualKeyboardSender(std::unique_ptr<TWaylandKeyboard> keyboard,
                                               std::chrono::milliseconds settle)
    : FKeyboard(std::move(keyboard)), FSettle(settle) {}

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
        FKeyboard->UploadKeymap(batch.keymap);
        {
            std::scoped_lock lock(FMutex);
            ++FStats.keymaps;
        }
        if (!turn.Pause(FSettle)) {
            return outcome;
        }
        std::size_t sent = 0;
        for (const std::uint32_t key : batch.keys) {
            FKeyboard->Tap(key);
            if (++sent % kKeysPerSync == 0) {
                FKeyboard->Sync();
                if (!turn.Pause(std::chrono::milliseconds(0))) {
                    return outcome;
                }
            }
        }
        FKeyboard->Sync();
        std::scoped_lock lock(FMutex);
        FStats.strokes += batch.keys.size();
    }
    return outcome;
}

} // namespace velmora
