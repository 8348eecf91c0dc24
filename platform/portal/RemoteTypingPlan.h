#pragma once

#include "RemoteDesktopKeys.h"
#include "platform/PasteRuns.h"
#include "platform/TextWalk.h"
#include "platform/ibus/ImePieces.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

/// One piece of a text for the session's keyboard and clipboard.
struct TRemotePiece {
    enum class Kind {
        Keys,   ///< one stroke, typed by `keys`
        Paste,  ///< a run of characters the layout lacks, put on the clipboard and pasted by the chord `keys`
        Unsent, ///< characters the layout lacks that cannot be pasted
        Chord,  ///< a key inside a text: `keys` holds its modifiers' presses, its press and release, their releases
    };
    Kind kind = Kind::Keys;
    std::size_t first = 0;        ///< the text's stroke the piece begins with
    std::vector<TRemoteKey> keys; ///< the portal's key calls
    std::u32string characters;    ///< Paste and Unsent: the characters

    friend bool operator==(const TRemotePiece&, const TRemotePiece&) = default;
};

/// How the RemoteDesktop route types one text.
struct TRemotePlan {
    std::vector<TRemoteKey> letGo;    ///< first: the releases of the modifiers the user may still hold from a hotkey
    std::vector<TImePiece> ime;       ///< the text for the IBus engine, while the focused application takes it
    std::vector<TRemotePiece> pieces; ///< the text by the session's keyboard, from the stroke where the IBus route ends
    bool chordViaInputMethod = false; ///< a Chord goes while the IBus engine is global, which sees its key go by
    /// Before anything: the keys (Linux input key codes) whose release the text waits for where the desktop can
    /// tell that the user holds them (the modifiers of a hotkey or of a desktop shortcut); the first stays pressed
    /// while the others are looked at.
    std::vector<std::uint32_t> awaitRelease = {};
};

/// What the session offers a text besides the keyboard.
struct TRemoteRoutes {
    bool afterHotkey = false;             ///< a hotkey asked for the text: its modifiers may still be held
    bool clipboard = false;               ///< the session has the clipboard: characters the layout lacks go by paste
    bool inputMethod = false;             ///< the IBus engine is there: the text goes through it where it can
    PasteChord chord = PasteChord::CtrlV; ///< the keys that paste
};

/// Plans `strokes`: each stroke the layout has goes as its keys; each run of characters it lacks goes by one paste
/// where the session has the clipboard, else is left out, as are control characters and Return or Tab it lacks.
TRemotePlan PlanRemoteTyping(const std::vector<TStroke>& strokes, const TRemoteKeyPlan& keys, TRemoteRoutes routes);

/// Plans a key inside a text as one Chord piece, pressed while the IBus engine is global where the session has one
/// (the key then waits for the text committed before it, and the text after it for the key); none when the layout
/// has no such key.
std::optional<TRemotePlan> PlanRemoteChord(const TKeyChord& chord, const TRemoteKeyPlan& keys, TRemoteRoutes routes);

/// The calls of `chord`: modifiers and Insert by keysym, V as the layout's key for a Latin v, else by the key code of
/// V (applications of a layout without a Latin v take Ctrl+V by the key).
std::vector<TRemoteKey> PasteChordKeys(const TRemoteKeyPlan& keys, PasteChord chord);

} // namespace velmora
