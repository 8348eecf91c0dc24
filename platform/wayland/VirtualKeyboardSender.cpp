#include "VirtualKeyboardSender.h"

#include "ChordKeymap.h"
#include "KeymapPlan.h"
#include "VirtualKeyboardPaste.h"
#include "core/TypingScript.h"

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
                                               TVirtualKeyboardPacing pacing,
                                               std::unique_ptr<IPasteClipboard> clipboard, PasteChord chord,
                                               bool pasteWide)
    : FKeyboard(std::move(keyboard)), FClipboard(std::move(clipboard)), FChord(chord), FPasteWide(pasteWide),
      FPacing(pacing), FKeysFrom(Clock::now() + pacing.newKeyboard) {}

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
    outcome.why = "no key can carry them.";
    turn.KeysBegin();
    const std::vector<TStroke> strokes = WalkText(text);
    if (!FClipboard || !FPasteWide) {
        TypeStrokes(strokes, outcome, turn);
        return outcome;
    }
    TTextPastes pastes(*FClipboard, turn);
    const auto byKeys = [](const TStroke& stroke) { return stroke.character <= 0xFFFF; };
    for (const TStrokeRun& run : PlanStrokeRuns(strokes, byKeys, true)) {
        const std::vector<TStroke> part(strokes.begin() + static_cast<std::ptrdiff_t>(run.first),
                                        strokes.begin() + static_cast<std::ptrdiff_t>(run.first + run.count));
        const bool went = run.way == TStrokeRun::Way::Paste ? PasteStrokes(part, pastes, outcome, turn)
                                                            : TypeStrokes(part, outcome, turn);
        if (!went) {
            break;
        }
    }
    return outcome;
}

TSendOutcome TVirtualKeyboardSender::SendKey(const TKeyChord& chord, ITypingTurn& turn) {
    TSendOutcome outcome;
    const std::optional<TChordKeys> keys = PlanChord(chord);
    if (!keys) {
        outcome.keys.push_back(ChordName(chord));
        return outcome;
    }
    turn.KeysBegin();
    if (!UseKeymap(keys->keymap, turn)) {
        return outcome;
    }
    // Down and up without a pause between (nor anything that throws): a stop never leaves a key or modifier held.
    std::uint32_t mask = 0;
    for (const TModifierKey& modifier : keys->modifiers) {
        FKeyboard->Key(modifier.code, true);
        FKeyboard->Modifiers(mask |= modifier.mask);
    }
    FKeyboard->Tap(keys->key);
    for (auto modifier = keys->modifiers.rbegin(); modifier != keys->modifiers.rend(); ++modifier) {
        FKeyboard->Key(modifier->code, false);
        FKeyboard->Modifiers(mask &= ~modifier->mask);
    }
    KeysSent(1);
    turn.Pause(keys->isBreak ? FPacing.afterBreak : std::chrono::milliseconds(0));
    return outcome;
}

bool TVirtualKeyboardSender::Paste(const std::u32string& text, ITypingTurn& turn, std::string& why) {
    if (!FClipboard) {
        why = kNoPasteClipboard;
        return false;
    }
    turn.KeysBegin();
    const bool pasted =
        PasteWholeText(*FClipboard, text, VirtualKeyboardPasteKeys(*FKeyboard, FChord, turn, KeymapWait()), turn, why);
    FLastKey = Clock::now();
    if (pasted) {
        std::scoped_lock lock(FMutex);
        FStats.pasted += text.size();
    }
    return pasted;
}

bool TVirtualKeyboardSender::PasteStrokes(const std::vector<TStroke>& run, TTextPastes& pastes, TSendOutcome& outcome,
                                          ITypingTurn& turn) {
    std::u32string characters;
    for (const TStroke& stroke : run) {
        characters += stroke.character;
    }
    if (pastes.Paste(characters, VirtualKeyboardPasteKeys(*FKeyboard, FChord, turn, KeymapWait())) !=
        PasteResult::Taken) {
        return TypeStrokes(run, outcome,
                           turn); // not pasted (a secret row's, none read it): as keys, exact but into Chromium
    }
    std::scoped_lock lock(FMutex);
    FStats.pasted += characters.size();
    return true;
}

std::chrono::milliseconds TVirtualKeyboardSender::KeymapWait() const {
    return std::max(FPacing.afterKeymap, Until(FKeysFrom));
}

bool TVirtualKeyboardSender::UseKeymap(const std::string& keymap, ITypingTurn& turn) {
    if (!turn.Pause(Until(FLastKey + FPacing.beforeKeymap))) {
        return false;
    }
    {
        std::scoped_lock lock(FMutex);
        ++FStats.keymaps;
        if (!FStats.firstKey) {
            FStats.firstKey = std::chrono::system_clock::now();
        }
    }
    FKeyboard->UploadKeymap(keymap);
    return turn.Pause(KeymapWait());
}

void TVirtualKeyboardSender::KeysSent(std::size_t count) {
    FKeyboard->Sync();
    FLastKey = Clock::now();
    std::scoped_lock lock(FMutex);
    FStats.strokes += count;
    FStats.lastKey = std::chrono::system_clock::now();
}

bool TVirtualKeyboardSender::TypeStrokes(const std::vector<TStroke>& strokes, TSendOutcome& outcome,
                                         ITypingTurn& turn) {
    const std::vector<TKeymapBatch> batches = PlanKeymaps(strokes, outcome.unsent);
    for (const TKeymapBatch& batch : batches) {
        if (!UseKeymap(batch.keymap, turn)) {
            return false;
        }
        std::size_t sent = 0;
        for (const std::uint32_t key : batch.keys) {
            FKeyboard->Tap(key);
            const bool isBreak = batch.breakKeys.contains(key);
            if (isBreak || ++sent % kKeysPerSync == 0) {
                FKeyboard->Sync();
                if (!turn.Pause(isBreak ? FPacing.afterBreak : std::chrono::milliseconds(0))) {
                    return false;
                }
            }
        }
        KeysSent(batch.keys.size());
    }
    return true;
}

} // namespace velmora
