#pragma once

#include "X11Display.h"
#include "platform/TypingListener.h"
#include "platform/Typist.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace velmora {

/// What the typist has done so far (for diagnostics and measurements).
struct TTypingStats {
    std::size_t texts = 0;          ///< texts taken from the queue
    std::size_t withoutFocus = 0;   ///< texts not typed because no control had the focus
    std::size_t interrupted = 0;    ///< texts cut short because the focus moved or the typist stopped
    std::size_t strokes = 0;        ///< characters and line-break or tab keys sent
    std::size_t dropped = 0;        ///< characters that found no key at all
    std::size_t keymapChanges = 0;  ///< binds and restores of free keycodes
    std::size_t forcedReleases = 0; ///< keys the user still held at the bound and that were let go of
    std::optional<std::chrono::system_clock::time_point> firstKey; ///< when the first key was sent
    std::optional<std::chrono::system_clock::time_point> lastKey;  ///< when the last key had reached the server
};

/// Types texts through XTest on a worker thread with its own X connection: one text at a time, in the order
/// queued, into the window that had the focus when the text's turn came.
class TX11Typist final : public ITypist {
public:
    /// Opens `displayName` (empty: $DISPLAY); throws PlatformError when it cannot be opened or lacks XTest/XKB.
    /// The listener, if any, must outlive the typist.
    explicit TX11Typist(const std::string& displayName = {}, ITypingListener* listener = nullptr);
    /// Drops the texts not yet typed, stops the one being typed and puts the keymap back.
    ~TX11Typist() override;

    void TypeText(const std::string& bytes, std::int32_t pressedKey) override;
    void SetProblemHandler(TypingProblemHandler handler) override;

    /// Waits until every queued text is typed and the keymap is back; false when `timeout` passed first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);
    /// A copy of the counters.
    TTypingStats Stats() const;

private:
    void Run();
    void TypeOne(const std::string& bytes, std::int32_t pressedKey);
    void Report(const std::string& message);
    /// Waits `duration` unless the typist is stopping; false when it is.
    bool Pause(std::chrono::milliseconds duration);

    TX11Display FDisplay; // used only by the worker once it runs
    ITypingListener* FListener;

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    struct TQueued {
        std::string bytes;
        std::int32_t pressedKey = 0;
    };
    std::deque<TQueued> FQueue;
    TypingProblemHandler FProblemHandler;
    bool FStop = false;
    bool FBusy = false;
    TTypingStats FStats;

    std::thread FWorker; // last: starts after everything above exists
};

} // namespace velmora
