#include "TypingQueue.h"

#include "PlatformError.h"
#include "TextPastes.h"
#include "TextWalk.h"
#include "core/TextCodec.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <utility>

namespace velmora {

namespace {

/// How many different characters left out are named.
constexpr std::size_t kNamedCharacters = 10;

} // namespace

std::string UnsentMessage(const std::u32string& unsent, const std::string& why) {
    std::u32string named;
    std::size_t different = 0;
    for (const char32_t character : unsent) {
        if (named.find(character) != std::u32string::npos) {
            continue;
        }
        if (++different <= kNamedCharacters) {
            named += (named.empty() ? U"" : U" ") + std::u32string(1, character);
        }
    }
    if (different > kNamedCharacters) {
        named += U" …";
    }
    return std::to_string(unsent.size()) + (unsent.size() == 1 ? " character" : " characters") +
           " could not be typed (" + UnicodeToText(named) + "): " + why;
}

std::string UnsentMessage(const TSendOutcome& outcome, bool secret) {
    std::string message;
    if (!outcome.unsent.empty()) {
        const std::size_t count = outcome.unsent.size();
        message = secret ? std::to_string(count) + (count == 1 ? " character" : " characters") +
                               " of a secret row could not be typed: " + outcome.why
                         : UnsentMessage(outcome.unsent, outcome.why);
    }
    if (!outcome.keys.empty()) {
        std::string named;
        for (const std::string& key : outcome.keys) {
            if (named.find(key) == std::string::npos) {
                named += (named.empty() ? "" : " ") + key;
            }
        }
        message += (message.empty() ? "" : " ") + std::to_string(outcome.keys.size()) +
                   (outcome.keys.size() == 1 ? " key" : " keys") + " could not be pressed (" + named +
                   "): this desktop offers no way to press them.";
    }
    return message;
}

TSendOutcome ITextSender::SendKey(const TKeyChord& chord, ITypingTurn& /*turn*/) {
    TSendOutcome outcome;
    outcome.keys.push_back(ChordName(chord));
    return outcome;
}

bool ITextSender::Paste(const std::u32string& /*text*/, ITypingTurn& /*turn*/, std::string& why) {
    why = kNoPasteClipboard;
    return false;
}

/// One text's turn: the sender's way back to the queue, and the listener calls around the text's keys.
class TTypingQueue::TTurn final : public ITypingTurn {
public:
    TTurn(TTypingQueue& queue, const std::u32string& text, const std::vector<TKeyChord>& keys, bool secret = false,
          std::int32_t pressedKey = 0)
        : FQueue(queue), FText(text), FKeys(keys), FSecret(secret), FPressedKey(pressedKey) {}
    ~TTurn() override { End(std::chrono::milliseconds(0)); }
    TTurn(const TTurn&) = delete;
    TTurn& operator=(const TTurn&) = delete;

    bool Pause(std::chrono::milliseconds duration) override { return FQueue.Pause(duration); }
    void KeysBegin() override {
        FQueue.KeysOut();
        FStarted = true;
        if (!FBegun && FQueue.FListener != nullptr) {
            FBegun = true;
            FQueue.FListener->TypingStarts(FText, FKeys);
        }
    }
    bool KeysBegun() const override { return FStarted; }
    void Report(const std::string& message) override { FQueue.Report(message); }
    bool Secret() const override { return FSecret; }
    std::int32_t PressedKey() const override { return FPressedKey; }

    /// The text's keys are out: after `grace`, the listener hears that the text has ended.
    void End(std::chrono::milliseconds grace) {
        if (std::exchange(FBegun, false)) {
            FQueue.Pause(grace);
            FQueue.FListener->TypingEnded();
        }
    }

private:
    TTypingQueue& FQueue;
    const std::u32string& FText;
    const std::vector<TKeyChord>& FKeys;
    const bool FSecret;
    const std::int32_t FPressedKey;
    bool FBegun = false;   ///< the listener heard of the text's keys
    bool FStarted = false; ///< keys of the text went out
};

TTypingQueue::TTypingQueue(std::unique_ptr<ITextSender> sender, ITypingListener* listener)
    : FSender(std::move(sender)), FListener(listener), FWorker([this] { Run(); }) {}

TTypingQueue::~TTypingQueue() {
    {
        std::scoped_lock lock(FMutex);
        FStop = true;
        FQueue.clear();
    }
    FWake.notify_all();
    FWorker.join();
}

void TTypingQueue::TypeText(const TTypingRequest& request) {
    MomentResolver resolve;
    {
        std::scoped_lock lock(FMutex);
        if (FStop) {
            return;
        }
        if (request.source != 0 && FBusy && FKeysOut && FBusySource == request.source) {
            FCancelled = true; // pressed again while its text types: the text ends where it is
            FWake.notify_all();
            return;
        }
        resolve = FResolver;
    }
    // The date, the time and the clipboard as they are at the press, read on the thread that asked.
    TQueued queued{request, BuildTypingScript(request.bytes, request.script, resolve)};
    {
        std::scoped_lock lock(FMutex);
        if (FStop) {
            return;
        }
        FQueue.push_back(std::move(queued));
    }
    FWake.notify_all();
}

void TTypingQueue::KeysOut() {
    std::scoped_lock lock(FMutex);
    FKeysOut = true;
}

void TTypingQueue::SetMomentResolver(MomentResolver resolver) {
    std::scoped_lock lock(FMutex);
    FResolver = std::move(resolver);
}

void TTypingQueue::Cancel() {
    {
        std::scoped_lock lock(FMutex);
        FQueue.clear();
        FCancelled = FBusy;
    }
    FWake.notify_all();
}

void TTypingQueue::SetProblemHandler(TypingProblemHandler handler) {
    std::scoped_lock lock(FMutex);
    FProblemHandler = std::move(handler);
}

void TTypingQueue::SetIdleHandler(TypingIdleHandler handler) {
    std::scoped_lock lock(FMutex);
    FIdleHandler = std::move(handler);
}

bool TTypingQueue::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    return FIdle.wait_for(lock, timeout, [this] { return FQueue.empty() && !FBusy; });
}

bool TTypingQueue::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(FMutex);
    if (duration.count() <= 0) {
        return !Ending();
    }
    return !FWake.wait_for(lock, duration, [this] { return Ending(); });
}

void TTypingQueue::Report(const std::string& message) {
    TypingProblemHandler handler;
    {
        std::scoped_lock lock(FMutex);
        handler = FProblemHandler;
    }
    if (handler) {
        handler(message);
    } else {
        std::cerr << "velmora: " << message << std::endl;
    }
}

std::size_t TTypingQueue::DropQueued() {
    std::scoped_lock lock(FMutex);
    return std::exchange(FQueue, {}).size();
}

void TTypingQueue::Run() {
    {
        const std::u32string noText;
        const std::vector<TKeyChord> noKeys;
        TTurn opening(*this, noText, noKeys);
        try {
            FSender->Open(opening);
        } catch (const std::exception& error) {
            Report(error.what());
        }
    }
    for (;;) {
        TQueued next;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
            if (FStop) {
                break;
            }
            next = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
            FBusySource = next.request.source;
            FKeysOut = false;
            FCancelled = false;
        }
        SendOne(next);
        TypingIdleHandler idle;
        {
            std::scoped_lock lock(FMutex);
            FBusy = false;
            if (FQueue.empty() && !FStop) {
                idle = FIdleHandler;
            }
        }
        FIdle.notify_all();
        if (idle) {
            idle();
        }
    }
    FIdle.notify_all();
}

void TTypingQueue::SendOne(const TQueued& queued) {
    const TTypingRequest& request = queued.request;
    const std::u32string text = ScriptText(queued.steps);
    std::vector<TKeyChord> keys;
    for (const TTypingStep& step : queued.steps) {
        if (step.kind == TTypingStep::Kind::Key) {
            keys.push_back(step.chord);
        }
    }
    if (WalkText(text).empty() && keys.empty()) {
        return;
    }
    TTurn turn(*this, text, keys, request.secret, request.pressedKey);
    try {
        TSendOutcome outcome;
        std::string notPasted;
        const bool paste = request.paste && !request.secret && request.script.pace == 0;
        for (const TTypingStep& step : queued.steps) {
            if (!turn.Pause(std::chrono::milliseconds(0))) {
                break;
            }
            TSendOutcome part;
            switch (step.kind) {
            case TTypingStep::Kind::Text:
                if (WalkText(step.text).empty() ||
                    (paste && notPasted.empty() && FSender->Paste(step.text, turn, notPasted))) {
                    break;
                }
                part = FSender->Send(step.text, request.pressedKey, turn);
                break;
            case TTypingStep::Kind::Key:
                part = FSender->SendKey(step.chord, turn);
                break;
            case TTypingStep::Kind::Pause:
                turn.Pause(std::chrono::milliseconds(step.milliseconds));
                break;
            }
            outcome.unsent += part.unsent;
            outcome.keys.insert(outcome.keys.end(), part.keys.begin(), part.keys.end());
            if (outcome.why.empty() && !part.unsent.empty()) {
                outcome.why = part.why;
            }
            if (part.stopped) {
                break;
            }
        }
        turn.End(FSender->ListenerGrace());
        if (!notPasted.empty()) {
            Report("The text was typed, not pasted: " + notPasted);
        } else if (request.paste && request.secret) {
            Report("The text was typed, not pasted: a secret row never goes on the clipboard.");
        }
        if (!outcome.unsent.empty() || !outcome.keys.empty()) {
            Report(UnsentMessage(outcome, request.secret));
        }
    } catch (const TypingRefused& refused) {
        turn.End(std::chrono::milliseconds(0));
        const std::size_t texts = 1 + DropQueued();
        Report(
            (texts == 1 ? std::string("The text was not typed: ") : std::to_string(texts) + " texts were not typed: ") +
            refused.what());
    } catch (const std::exception& error) {
        turn.End(std::chrono::milliseconds(0));
        Report(std::string("The text was not typed whole. ") + error.what());
    }
}

} // namespace velmora
