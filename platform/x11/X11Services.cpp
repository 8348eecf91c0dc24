#include "X11Services.h"

#include "X11Display.h"
#include "X11HotkeyService.h"
#include "X11TextSender.h"
#include "X11WindowFocus.h"

namespace velmora {

void ProbeX11Display() {
    const TX11Display probe({});
}

std::unique_ptr<IX11Hotkeys> MakeX11Hotkeys() {
    return std::make_unique<TX11HotkeyService>();
}

std::unique_ptr<ITextSender> MakeX11TextSender() {
    return std::make_unique<TX11TextSender>();
}

std::unique_ptr<IWindowFocus> MakeX11WindowFocus() {
    return std::make_unique<TX11WindowFocus>();
}

} // namespace velmora
