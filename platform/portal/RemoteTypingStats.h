#pragma once

#include <cstddef>
#include <mutex>

namespace velmora {

/// What the remote-desktop sender has done so far (for diagnostics and tests).
struct TRemoteTypingStats {
    std::size_t texts = 0;       ///< texts handed to the sender
    std::size_t keysyms = 0;     ///< characters sent (each pressed and released)
    std::size_t offLayout = 0;   ///< characters not sent because the user's layout has no key for them
    std::size_t refused = 0;     ///< texts not typed because the desktop gave no keyboard
    std::size_t sessions = 0;    ///< sessions the desktop was asked for
    std::size_t imeStrokes = 0;  ///< strokes that went through the input method
    std::size_t imeKeyWaits = 0; ///< waits for an application to handle Return or Tab keys that ran out
    std::size_t pasted = 0;      ///< characters pasted through the session's clipboard
};

/// The counters of TRemoteTypingStats, counted on the typist's thread and read from any.
class TRemoteTypingCounters {
public:
    /// Adds `count` to one counter.
    void Add(std::size_t TRemoteTypingStats::*counter, std::size_t count) {
        std::scoped_lock lock(FMutex);
        FStats.*counter += count;
    }
    /// A copy of the counters.
    TRemoteTypingStats Copy() const {
        std::scoped_lock lock(FMutex);
        return FStats;
    }

private:
    mutable std::mutex FMutex;
    TRemoteTypingStats FStats;
};

} // namespace velmora
