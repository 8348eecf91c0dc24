#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace velmora {

/// The applications' requests for what a clipboard offers: numbered as they arrive on the thread that answers
/// them, waited for on the typist's (IPasteClipboard::Requests and WaitForPaste). Thread-safe.
class TPasteRequests {
public:
    /// A request arrived: its number.
    std::uint64_t Arrived();
    /// The request numbered `number` was answered.
    void Answered(std::uint64_t number);
    /// How many requests have arrived so far.
    std::uint64_t Count();
    /// Waits until a request after the `mark`-th was answered, up to `timeout` or until `keepWaiting` says no.
    bool WaitAnswered(std::uint64_t mark, std::chrono::milliseconds timeout, const std::function<bool()>& keepWaiting);

private:
    std::mutex FMutex;
    std::condition_variable FServed;
    std::uint64_t FArrived = 0;
    std::uint64_t FAnswered = 0; ///< the number of the latest request answered
};

} // namespace velmora
