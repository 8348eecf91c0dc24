#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace velmora {

/// Clipboard content: the bytes of each MIME type offered; empty: an empty clipboard.
using TClipboardContent = std::map<std::string, std::string>;

/// The MIME type of the text a paste carries.
inline constexpr const char* kClipboardTextType = "text/plain;charset=utf-8";
/// The type by which password managers mark a content as secret for clipboard managers (value "secret").
inline constexpr const char* kSecretHintType = "x-kde-passwordManagerHint";

/// What goes on the clipboard to paste `run`: its UTF-8 text, and the secret mark, so that clipboard managers keep
/// no copy of a snippet.
TClipboardContent PasteContent(std::u32string_view run);
/// Whether `content` is marked secret (a password manager's entry).
bool MarkedSecret(const TClipboardContent& content);
/// What goes back on the clipboard after a text for the user's `kept` content: the content itself, or nothing (an
/// empty clipboard) for a secret one, which is not kept beyond the text.
TClipboardContent RestoredContent(const TClipboardContent& kept);

/// A clipboard that runs of a text are pasted through, on the typist's thread; the requests of applications are
/// answered on a thread of its own.
class IPasteClipboard {
public:
    virtual ~IPasteClipboard() = default;
    /// Reads the user's content, every format byte for byte, to be put back later; false when it cannot be read
    /// whole (then nothing may go onto the clipboard).
    virtual bool KeepUserContent() = 0;
    /// Makes `content` the clipboard's (empty: empties the clipboard); false when the desktop refused.
    virtual bool Offer(const TClipboardContent& content) = 0;
    /// How many requests for the clipboard's content have arrived so far.
    virtual std::uint64_t Requests() = 0;
    /// Waits until a request after the `mark`-th was answered, up to `timeout` or until `keepWaiting` says no.
    virtual bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                              const std::function<bool()>& keepWaiting) = 0;
    /// Puts the kept user content back (RestoredContent) and forgets it.
    virtual void PutBack() = 0;
};

} // namespace velmora
