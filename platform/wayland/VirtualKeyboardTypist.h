#pragma once

#include "WaylandKeyboard.h"
#include "platform/TypingListener.h"
#include "platform/Typist.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace velmora {

/// What the virtual-keyboard typist has done so far (for diagnostics and tests).
struct TVirtualTypingStats {
    std::size_t texts = 0;   ///< texts taken from the queue
    std::size_t strokes = 0; ///< keys tapped
    std::size_t keymaps = 0; ///< keymaps handed to the compositor
    std::size_t dropped = 0; ///< characters that have no keysym
    std::size_t failed = 0;  ///< texts cut short because the compositor refused or the connection broke
};

/// Types texts through the compositor's virtual keyboard, on a worker thread with its own Wayland connection: for
/// each text a keymap holding exactly its characters, a short settle, then one key tap per character. Exact for any
/// Unicode text; the compositor delivers the keys to the focused surface.
class TVirtualKeyboardTypist final : public ITypist {
public:
    /// A new keymap can cost the first key after it when it is used at once.
    static constexpr std::chrono::milliseconds kDefaultSettle{300};

    /// Connects to the compositor; throws PlatformError when it offers no virtual keyboard. The listener, if any,
    /// hears of each text (the program's X11 grabs on XWayland must not catch its keys) and must outlive the typist.
    explicit TVirtualKeyboardTypist(ITypingListener* listener = nullptr,
                                    std::chrono::milliseconds settle = kDefaultSettle);
    /// Drops the texts not yet typed and stops the one being typed.
    ~TVirtualKeyboardTypist() override;

    /// The user's keys are not ours to let go of here: the virtual keyboard has a state of its own, and the text's
    /// keys reach the application without the user's modifiers.
    void TypeText(const std::string& bytes, std::int32_t pressedKey) override;
    void SetProblemHandler(TypingProblemHandler handler) override;

    /// Waits until every queued text is typed; false when `timeout` passed first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);
    /// A copy of the counters.
    TVirtualTypingStats Stats() const;

private:
    void Run();
    void TypeOne(const std::string& bytes);
    void Report(const std::string& message);
    /// Waits `duration` unless the typist is stopping; false when it is.
    bool Pause(std::chrono::milliseconds duration);
    bool Stopping();

    TWaylandKeyboard FKeyboard; // used only by the worker once it runs
    ITypingListener* FListener;
    std::chrono::milliseconds FSettle;

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<std::string> FQueue;
    TypingProblemHandler FProblemHandler;
    bool FStop = false;
    bool FBusy = false;
    TVirtualTypingStats FStats;

    std::thread FWorker; // last: starts after everything above exists
};

} // namespace velmora
