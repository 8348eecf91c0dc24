#pragma once

#include "core/StrItem.h"
#include "core/TypingScript.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace velmora {

/// Hears of a text that could not be typed whole.
using TypingProblemHandler = std::function<void(const std::string& message)>;
/// Hears that the typist has become idle: nothing queued, nothing being typed.
using TypingIdleHandler = std::function<void()>;

/// One row's text as a press asks for it to be typed.
struct TTypingRequest {
    TTypingRequest() = default;
    /// A plain text: no tokens, no pace, typed.
    explicit TTypingRequest(std::string text, std::int32_t key = 0) : bytes(std::move(text)), pressedKey(key) {}

    std::string bytes;           ///< the snippet's bytes
    std::int32_t pressedKey = 0; ///< virtual-key code of the hotkey that asked for it (0: none)
    TScriptOptions script;       ///< key tokens, pace
    bool secret = false;         ///< never shown, never put on a clipboard
    bool paste = false;          ///< pasted through the clipboard where the route can
    int source = 0;              ///< who asked (a hotkey registration's id; 0: no one in particular)
};

/// The request that types `item` as its options say, a copy of its text and options as they are now.
inline TTypingRequest RequestFor(const TStrItem& item, std::int32_t pressedKey, int source) {
    TTypingRequest request(item.FStr, pressedKey);
    request.script = {item.FKeys, item.FDelay};
    request.secret = item.FSecret;
    request.paste = item.FPaste;
    request.source = source;
    return request;
}

/// Types texts into the control that has the keyboard focus in the foreground application.
class ITypist {
public:
    ITypist() = default;
    ITypist(const ITypist&) = delete;
    ITypist& operator=(const ITypist&) = delete;
    virtual ~ITypist() = default;

    /// Queues one text to be typed whole, after the texts queued before it; returns at once. The typist may let go
    /// of the request's pressed key for the user, never of other keys. With no focused control nothing is typed.
    /// A request from the same source as the text being typed stops that text instead (a second press ends it).
    virtual void TypeText(const TTypingRequest& request) = 0;
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
