#pragma once

#include "TextSender.h"
#include "TypingListener.h"
#include "Typist.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

/// The typist: one thread that takes the texts in the order they were queued and hands each to the sender, with
/// the listener told around every text whose keys went out (also when it fails or is stopped), and every problem
/// reported one way.
class TTypingQueue final : public ITypist {
public:
    /// Starts the thread, which opens the sender. The listener, if any, must outlive the typist.
    explicit TTypingQueue(std::unique_ptr<ITextSender> sender, ITypingListener* listener = nullptr);
    /// Drops the texts not yet typed, stops the one being typed and waits for the thread.
    ~TTypingQueue() override;
    TTypingQueue(const TTypingQueue&) = delete;
    TTypingQueue& operator=(const TTypingQueue&) = delete;

    void TypeText(const TTypingRequest& request) override;
    /// Sets what reads the date, the time and the clipboard for a text's tokens when its press is queued.
    void SetMomentResolver(MomentResolver resolver);
    /// Without a handler, problems go to standard error.
    void SetProblemHandler(TypingProblemHandler handler) override;
    /// The handler hears after the last queued text is done (typed, failed or dropped), not when the typist stops.
    void SetIdleHandler(TypingIdleHandler handler) override;
    void Cancel() override;

    /// Waits until every queued text is typed; false when `timeout` passed first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

private:
    class TTurn;
    struct TQueued {
        TTypingRequest request;
        std::vector<TTypingStep> steps;
    };

    void Run();
    void SendOne(const TQueued& queued);
    /// Drops the texts still queued; how many there were.
    std::size_t DropQueued();
    void Report(const std::string& message);
    /// The text being typed has sent its first key.
    void KeysOut();
    bool Pause(std::chrono::milliseconds duration);
    /// Whether the text being typed is to end now: the typist stops, or a Cancel came after the text was taken.
    bool Ending() const { return FStop || FCancelled; }

    std::unique_ptr<ITextSender> FSender; // used only by the thread until it has ended
    ITypingListener* FListener;

    std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<TQueued> FQueue;
    TypingProblemHandler FProblemHandler;
    TypingIdleHandler FIdleHandler;
    MomentResolver FResolver;
    bool FStop = false;
    bool FBusy = false;
    bool FCancelled = false; ///< Cancel came while the text being typed was typed
    int FBusySource = 0;     ///< the source of the text being typed
    bool FKeysOut = false;   ///< its first key went out (before that, a second press is a second text)

    std::thread FWorker; // last: starts after everything above exists
};

/// The one wording of characters that could not be typed: how many, the first ten different ones, and why.
std::string UnsentMessage(const std::u32string& unsent, const std::string& why);
/// What a text's outcome left out: the characters (only how many for a secret row) and the keys not pressed.
std::string UnsentMessage(const TSendOutcome& outcome, bool secret);

} // namespace velmora
