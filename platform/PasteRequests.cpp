#include "PasteRequests.h"

#include <algorithm>

namespace velmora {

std::uint64_t TPasteRequests::Arrived() {
    std::scoped_lock lock(FMutex);
    return ++FArrived;
}

void TPasteRequests::Answered(std::uint64_t number) {
    {
        std::scoped_lock lock(FMutex);
        FAnswered = std::max(FAnswered, number);
    }
    FServed.notify_all();
}

std::uint64_t TPasteRequests::Count() {
    std::scoped_lock lock(FMutex);
    return FArrived;
}

bool TPasteRequests::WaitAnswered(std::uint64_t mark, std::chrono::milliseconds timeout,
                                  const std::function<bool()>& keepWaiting) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(FMutex);
    while (FAnswered <= mark) {
        if (std::chrono::steady_clock::now() >= deadline || !keepWaiting()) {
            return false;
        }
        // Polled as well: `keepWaiting` has no way to wake the wait.
        FServed.wait_for(lock, std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace velmora
