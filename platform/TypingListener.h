#pragma once

#include "core/SnippetTokens.h"

#include <string>
#include <vector>

namespace velmora {

/// Hears from the typist around each text, on the typist's own thread, so that the program's own hotkeys can keep
/// out of the way of the keys it types (a grab of a bare key would catch them).
class ITypingListener {
public:
    virtual ~ITypingListener() = default;
    /// Called before the first key of a text is sent (`text` its characters, `keys` the keys inside it, with their
    /// modifiers); returns once nothing of ours can catch those keys.
    virtual void TypingStarts(const std::u32string& text, const std::vector<TKeyChord>& keys) = 0;
    /// Called after the last key of the text; our hotkeys may take their keys again.
    virtual void TypingEnded() = 0;
};

} // namespace velmora
