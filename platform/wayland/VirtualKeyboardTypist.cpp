#include "VirtualKeyboardTypist.h"

#include "KeymapPlan.h"
#include "core/TextCodec.h"
#include "platform/Platform.h"

#include <iostream>
#include <utility>

namespace velmora {

namespace {

/// Keys sent between two round trips: the compositor's queue stays short and a refusal is noticed soon.
constexpr std::size_t kKeysPerSync = 32;
/// How long after the last key a listener hears that the text has ended.
constexpr std::chrono::milliseconds kListenerGrace{100};

} // namespace

TVirtualKeyboardTypist::TVirtualKeyboardTypist(ITypingListener* listener, std::chrono::milliseconds settle)
    : FListener(listener), FSettle(settle), FWorker([this] { Run(); }) {}

TVirtualKeyboardTypist::~TVirtualKeyboardTypist() {
    {
        std::scoped_lock lock(FMutex);
        FStop = true;
        FQueue.clear();
    }
    FWake.notify_all();
    FWorker.join();
}

void TVirtualKeyboardTypist::SetProblemHandler(TypingProblemHandler handler) {
    std::scoped_lock lock(FMutex);
    FProblemHandler = std::move(handler);
}

void TVirtualKeyboardTypist::Report(const std::string& message) {
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

void TVirtualKeyboardTypist::TypeText(const std::string& bytes, std::int32_t /*pressedKey*/) {
    {
        std::scoped_lock lock(FMutex);
        FQueue.push_back(bytes);
    }
    FWake.notify_all();
}

bool TVirtualKeyboardTypist::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    return FIdle.wait_for(lock, timeout, [this] { return FQueue.empty() && !FBusy; });
}

TVirtualTypingStats TVirtualKeyboardTypist::Stats() const {
    std::scoped_lock lock(FMutex);
    return FStats;
}

void TVirtualKeyboardTypist::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
        if (FStop) {
            break;
        }
        const std::string text = std::move(FQueue.front());
        FQueue.pop_front();
        FBusy = true;
        ++FStats.texts;
        lock.unlock();
        if (FListener != nullptr) {
            FListener->TypingStarts(TextToUnicode(text));
        }
        try {
            TypeOne(text);
        } catch (const PlatformError& error) {
            lock.lock();
            ++FStats.failed;
            lock.unlock();
            Report(std::string("The text was not typed whole: ") + error.what());
        }
        if (FListener != nullptr) {
            // The compositor has the keys; the X server of XWayland reads them a moment later.
            Pause(kListenerGrace);
            FListener->TypingEnded();
        }
        lock.lock();
        FBusy = false;
        FIdle.notify_all();
    }
    FBusy = false;
    FIdle.notify_all();
}

void TVirtualKeyboardTypist::TypeOne(const std::string& bytes) {
    std::size_t dropped = 0;
    const std::vector<TKeymapBatch> batches = PlanKeymaps(WalkBytes(bytes), dropped);
    if (dropped > 0) {
        {
            std::scoped_lock lock(FMutex);
            FStats.dropped += dropped;
        }
        Report(std::to_string(dropped) + " characters of the text have no key at all and were left out.");
    }
    for (const TKeymapBatch& batch : batches) {
        FKeyboard.UploadKeymap(batch.keymap);
        {
            std::scoped_lock lock(FMutex);
            ++FStats.keymaps;
        }
        if (!Pause(FSettle)) {
            return;
        }
        std::size_t sent = 0;
        for (const std::uint32_t key : batch.keys) {
            FKeyboard.Tap(key);
            if (++sent % kKeysPerSync == 0) {
                FKeyboard.Sync();
                if (Stopping()) {
                    return;
                }
            }
        }
        FKeyboard.Sync();
        std::scoped_lock lock(FMutex);
        FStats.strokes += batch.keys.size();
    }
}

bool TVirtualKeyboardTypist::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(FMutex);
    return !FWake.wait_for(lock, duration, [this] { return FStop; });
}

bool TVirtualKeyboardTypist::Stopping() {
    std::scoped_lock lock(FMutex);
    return FStop;
}

} // namespace velmora
