#pragma once

#include "core/SnippetTokens.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

/// What a sender may ask of the typist while it sends one text, on the typist's thread.
class ITypingTurn {
public:
    virtual ~ITypingTurn() = default;
    /// Waits `duration` (0: not at all) unless the typist stops meanwhile; false when it stops.
    virtual bool Pause(std::chrono::milliseconds duration) = 0;
    /// The text's first key goes out now: the program's own hotkeys keep out of its way until the text ends.
    virtual void KeysBegin() = 0;
    /// Whether keys of the text went out already, in an earlier step of it (characters before a key inside it).
    virtual bool KeysBegun() const { return false; }
    /// Tells the user something about typing other than characters left out (those go into the outcome).
    virtual void Report(const std::string& message) = 0;
    /// Whether the text is a secret row's: none of it may go on a clipboard (characters no key types are left out).
    virtual bool Secret() const { return false; }
    /// The virtual-key code of the hotkey that asked for the text (0: none), whose keys the user may still hold.
    virtual std::int32_t PressedKey() const { return 0; }
};

/// What became of one text.
struct TSendOutcome {
    std::u32string unsent; ///< the characters that could not be typed, each time it occurred
    std::string why;       ///< why not, ending a sentence ("the keyboard map has no free key to put them on")
    std::vector<std::string> keys = {}; ///< the keys inside the text that could not be pressed, named as in the text
    bool stopped = false; ///< the rest of the text may not follow (the focus moved away from where it began)
};

/// Sends one text through one window-system route; the typist around it keeps the queue, the thread and the
/// reports. Every method runs on the typist's thread but the destructor.
class ITextSender {
public:
    virtual ~ITextSender() = default;
    /// Once, before the first text.
    virtual void Open(ITypingTurn& /*turn*/) {}
    /// Sends `text` (not empty; line breaks and tabs as in the snippet) to the focused control; `pressedKey` is the
    /// virtual-key code of the hotkey that asked for it (0: none). Returns when every key is out or the typist
    /// stops. Throws PlatformError when the text cannot go on, TypingRefused when no text can for now.
    virtual TSendOutcome Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) = 0;
    /// Presses `chord` (a key inside the text, with its modifiers held) and lets go of it. Returns the key in the
    /// outcome's `keys` when this route cannot press it. Throws as Send does.
    virtual TSendOutcome SendKey(const TKeyChord& chord, ITypingTurn& turn);
    /// Puts `text` on the clipboard, pastes it into the focused control and puts the user's clipboard back as it
    /// was. Returns false, having done nothing, when this route cannot paste; `why` then ends a sentence saying so.
    virtual bool Paste(const std::u32string& text, ITypingTurn& turn, std::string& why);
    /// How long after a text's last key the program's hotkeys keep out of the way (keys that travel through a
    /// compositor reach an X server later).
    virtual std::chrono::milliseconds ListenerGrace() const { return std::chrono::milliseconds(0); }
};

} // namespace velmora
