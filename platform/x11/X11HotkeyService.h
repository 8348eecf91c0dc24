#pragma once

#include "HotkeyPresses.h"

#include "X11Display.h"
#include "X11Services.h"
#include "core/UniqueFd.h"

#include <X11/Xlib.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

/// System-wide hotkeys as passive key grabs on the root window, over a connection of its own. Presses are reported
/// when the key is released (the key's grab holds the whole keyboard while it is down), once per press and once per
/// auto-repeat, from ProcessPendingEvents. While the typist types, the grabs its keys could trigger are lifted.
class TX11HotkeyService final : public IX11Hotkeys {
public:
    /// Opens a connection to `displayName` (empty: $DISPLAY); throws PlatformError when the display cannot be opened.
    explicit TX11HotkeyService(const std::string& displayName = {});
    ~TX11HotkeyService() override;
    TX11HotkeyService(const TX11HotkeyService&) = delete;
    TX11HotkeyService& operator=(const TX11HotkeyService&) = delete;

    THotkeyResult RegisterHotKey(const THotkeyRequest& request) override;
    void UnregisterHotKey(int id) override;
    void SetPressHandler(HotkeyPressHandler handler) override;

    int FileDescriptor() const override;
    void ProcessPendingEvents() override;

    void TypingStarts(const std::u32string& text, const std::vector<TKeyChord>& keys) override;
    void TypingEnded() override;

private:
    /// One registration: the combination asked for and how it stands on the server now.
    struct TGrab {
        unsigned modifiers = 0;      ///< flags as registered (1 ALT, 2 CTRL, 4 SHIFT)
        std::int32_t virtualKey = 0; ///< virtual-key code as registered
        unsigned state = 0;          ///< the X modifier mask the flags stand for
        KeyCode keycode = 0;         ///< the key's keycode in the current mapping, 0 when it has none
        HotkeyStatus status = HotkeyStatus::UnknownKey;
        bool granted = false;   ///< the registration succeeded: the key is ours until it is released
        bool grabbed = false;   ///< the grabs are on the server
        bool suspended = false; ///< in force, but lifted while a text is typed
    };
    // Every member function below expects FMutex held.
    void ReadModifierMapping();
    std::array<unsigned, 4> LockVariants() const;
    KeyCode KeycodeFor(std::int32_t virtualKey) const;
    bool HeldByEarlier(std::size_t index, KeyCode keycode, unsigned state) const;
    bool Grab(KeyCode keycode, unsigned state);
    void Ungrab(KeyCode keycode, unsigned state);
    void PlaceGrab(std::size_t index);
    bool LiftedWhileTyping(const TGrab& grab) const;
    void RenewAllGrabs();
    void HandleEvent(XEvent& event, std::vector<THotkeyPress>& presses);
    void WakeIfEventsQueued();

    TXDisplayPtr FDisplay;
    Window FRoot = 0;
    unsigned FNumLockMask = 0;
    TFd FWake;
    TFd FPoll;
    mutable std::mutex FMutex;
    std::vector<std::pair<int, TGrab>> FGrabs; ///< by id, in the order of registration
    THotkeyPressTracker FPresses;
    HotkeyPressHandler FHandler;
    bool FTyping = false;
    std::vector<unsigned> FTypedKeycodes; ///< the keys of the text being typed
};

} // namespace velmora
