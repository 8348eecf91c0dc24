#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

/// Hears of a text that could not be typed whole.
using TypingProblemHandler = std::function<void(const std::string& message)>;
/// Hears that the typist has become idle: nothing queued, nothing being typed.
using TypingIdleHandler = std::function<void()>;

/// Types texts into the control that has the keyboard focus in the foreground application.
class ITypist {
public:
    ITypist() = default;
    ITypist(const ITypist&) = delete;
    ITypist& operator=(const ITypist&) = delete;
    virtual ~ITypist() = default;

    /// Queues one text (a snippet's bytes) to be typed whole, after the texts queued before it; returns at once.
    /// `pressedKey` is the virtual-key code of the hotkey that asked for it (0: none): the typist may let go of
    /// that key for the user, never of other keys. With no focused control nothing is typed.
    virtual void TypeText(const std::string& bytes, std::int32_t pressedKey) = 0;
    /// Sets the function that hears, on the typist's own thread, of a text that could not be typed whole; the
    /// message says what was lost and why.
    virtual void SetProblemHandler(TypingProblemHandler handler) = 0;
    /// Sets the function that hears, on the typist's own thread, each time the typist has become idle.
    virtual void SetIdleHandler(TypingIdleHandler handler) = 0;
    /// Drops the texts queued and not yet begun, and stops the one being typed where it is: what it typed stays,
    /// keys held for it are let go. Texts queued afterwards are typed as usual.
    virtual void Cancel() = 0;
};

} // namespace velmora
