#include "TypingQueue.h"

#include "PlatformError.h"
#include "TextWalk.h"
#include "core/TextCodec.h"

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

/// One text's turn: the sender's way back to the queue, and the listener calls around the text's keys.
class TTypingQueue::TTurn final : public ITypingTurn {
public:
    TTurn(TTypingQueue& queue, const std::u32string& text) : FQueue(queue), FText(text) {}
    ~TTurn() override { End(std::chrono::milliseconds(0)); }
    TTurn(const TTurn&) = delete;
    TTurn& operator=(const TTurn&) = delete;

    bool Pause(std::chrono::milliseconds duration) override { return FQueue.Pause(duration); }
    void KeysBegin() override {
        if (!FBegun && FQueue.FListener != nullptr) {
            FBegun = true;
            FQueue.FListener->TypingStarts(FText);
        }
    }
    void Report(const std::string& message) override { FQueue.Report(message); }

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
    bool FBegun = false;
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

void TTypingQueue::TypeText(const std::string& bytes, std::int32_t pressedKey) {
    {
        std::scoped_lock lock(FMutex);
        if (FStop) {
            return;
        }
        FQueue.push_back({bytes, pressedKey});
    }
    FWake.notify_all();
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
        TTurn opening(*this, noText);
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
    const std::u32string text = TextToUnicode(queued.bytes);
    if (WalkText(text).empty()) {
        return;
    }
    TTurn turn(*this, text);
    try {
        const TSendOutcome outcome = FSender->Send(text, queued.pressedKey, turn);
        turn.End(FSender->ListenerGrace());
        if (!outcome.unsent.empty()) {
            Report(UnsentMessage(outcome.unsent, outcome.why));
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
