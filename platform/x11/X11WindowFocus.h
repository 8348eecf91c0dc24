#pragma once

#include "X11Display.h"

#include "platform/WindowFocus.h"

#include <string>

namespace velmora {

/// The focus on an X display, over a connection of its own: the window manager's active window (`_NET_ACTIVE_WINDOW`)
/// where one says which it is, else the X input focus.
class TX11WindowFocus final : public IWindowFocus {
public:
    /// Opens `displayName` (empty: $DISPLAY); throws PlatformError when it cannot be opened.
    explicit TX11WindowFocus(const std::string& displayName = {});

    void Remember() override;
    void Activate(unsigned long window) override;
    void GiveBack() override;
    bool IsBack() const override;

private:
    /// The window manager's active window; none (0) when no window manager says.
    Window ActiveWindow() const;
    /// Asks the window manager to activate `window`, or without one sets the input focus on it.
    void Focus(Window window, Window fallback);
    /// The X input focus.
    Window FocusedWindow() const;

    TXDisplayPtr FDisplay;
    Atom FActiveAtom = 0;
    Window FActive = 0; ///< the active window noted, 0: none
    Window FFocus = 0;  ///< the input focus noted
};

} // namespace velmora
