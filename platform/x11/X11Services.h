#pragma once

#include "platform/EventSource.h"
#include "platform/HotkeyService.h"
#include "platform/TextSender.h"
#include "platform/TypingListener.h"
#include "platform/WindowFocus.h"

#include <memory>

namespace velmora {

/// The X11 hotkey service as the rest of the program sees it: the hotkeys, the connection that brings their
/// presses, and the listener that lifts the grabs a typed text could trigger.
class IX11Hotkeys : public IHotkeyService, public IEventSource, public ITypingListener {};

// Factories of the X11 backend on $DISPLAY, for code that keeps the X11 headers (and their macros) out.

/// Opens the display and checks what typing needs; throws PlatformError that says what is wrong.
void ProbeX11Display();
/// Hotkeys as key grabs; throws PlatformError.
std::unique_ptr<IX11Hotkeys> MakeX11Hotkeys();
/// Typing through XTest; throws PlatformError.
std::unique_ptr<ITextSender> MakeX11TextSender();
/// The X11 focus on $DISPLAY, for the picker; throws PlatformError when the display cannot be opened.
std::unique_ptr<IWindowFocus> MakeX11WindowFocus();

} // namespace velmora
