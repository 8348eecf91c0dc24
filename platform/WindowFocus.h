#pragma once

// Where the picker's text goes: into the window that had the focus before the picker took it.

namespace velmora {

/// The window that had the keyboard focus before one of ours took it, and giving the focus back to it.
class IWindowFocus {
public:
    IWindowFocus() = default;
    IWindowFocus(const IWindowFocus&) = delete;
    IWindowFocus& operator=(const IWindowFocus&) = delete;
    virtual ~IWindowFocus() = default;

    /// Notes the window that has the focus now (before ours is shown).
    virtual void Remember() = 0;
    /// Asks for our window (its native id) to have the focus, which a desktop may refuse to a window that opens on
    /// a press it did not see.
    virtual void Activate(unsigned long window) = 0;
    /// Asks for the noted window to have the focus again (after ours is hidden).
    virtual void GiveBack() = 0;
    /// Whether the noted window has the focus again; true where the desktop gives it back by itself.
    virtual bool IsBack() const = 0;
};

/// A desktop that gives the focus back by itself when our window closes (Wayland compositors).
class TDesktopGivesFocusBack final : public IWindowFocus {
public:
    void Remember() override {}
    void Activate(unsigned long) override {}
    void GiveBack() override {}
    bool IsBack() const override { return true; }
};

} // namespace velmora
