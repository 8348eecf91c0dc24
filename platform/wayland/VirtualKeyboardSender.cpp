#include "VirtualKeyboardSender.h"

#include "KeymapPlan.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

/// Keys sent between two round trips: the compositor's queue stays short and a refusal is noticed soon.
constexpr std::size_t kKeysPerSync = 32;
/// How long the keys after a Return or Tab wait: Firefox (GTK 3, Wayland) can insert keys that arrive while it
/// handles one of these before keys sent earlier (measured: a run of 32 keys moved up to ten runs back, in one
/// 2,000-character text of ten; none with this wait, under a load of 15 on 2 cores).
constexpr std::chrono::milliseconds kAfterBreak{30};

} // namespace

TVirtualKeyboardSender::TVirtualKeyboardSender(std::unique_ptr<TWaylandKeyboard> keyboard,
                                               std::chrono::milliseconds settle)
    : FKeyboard(std::move(keyboard)), FSettle(settle), FKeysFrom(std::chrono::steady_clock::now() + kNewKeyboardWait) {}

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
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(FKeysFrom - std::chrono::steady_clock::now());
        if (!turn.Pause(std::max(FSettle, left))) {
            return outcome;
        }
        std::size_t sent = 0;
        for (const std::uint32_t key : batch.keys) {
            FKeyboard->Tap(key);
            const bool isBreak = batch.breakKeys.contains(key);
            if (isBreak || ++sent % kKeysPerSync == 0) {
                FKeyboard->Sync();
                if (!turn.Pause(isBreak ? kAfterBreak : std::chrono::milliseconds(0))) {
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
