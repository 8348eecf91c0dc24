#pragma once

#include "core/UniqueFd.h"

#include <functional>
#include <mutex>
#include <vector>

namespace velmora {

/// Work handed to a thread that waits in poll(2) for a connection of its own: the thread adds Fd() to its poll and
/// runs what Take() gives each time it wakes.
class TThreadWork {
public:
    /// Throws PlatformError when the wake-up descriptor cannot be made.
    TThreadWork();

    /// The descriptor that becomes readable when there is work (or the thread is to end).
    int Fd() const { return FWake.Get(); }
    /// Runs `work` on the thread and waits until it has run; never after Stop.
    void Run(const std::function<void()>& work);
    /// Tells the thread to end.
    void Stop();
    /// On the thread: consumes the wake-up and moves the work handed over into `work`; false once Stop was called.
    bool Take(std::vector<std::function<void()>>& work);

private:
    /// Makes Fd() readable.
    void Wake();

    TFd FWake;
    std::mutex FMutex;
    std::vector<std::function<void()>> FWork; ///< handed over, not yet run
    bool FStop = false;
};

} // namespace velmora
