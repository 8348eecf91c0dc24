#include "platform/Platform.h"

#include "X11HotkeyService.h"
#include "X11Typist.h"

namespace velmora {

namespace {

/// The hotkey service and the typist on the display named by $DISPLAY. The typist tells the hotkey service when it
/// types, so that the program's own grabs do not catch the keys it sends.
class TX11Platform final : public IPlatform {
public:
    TX11Platform() : FTypist({}, &FHotkeys) {}

    IHotkeyService& Hotkeys() override { return FHotkeys; }
    ITypist& Typist() override { return FTypist; }
    IEventSource& Events() override { return FHotkeys; }

private:
    TX11HotkeyService FHotkeys; // first: outlives the typist, which calls it from its thread
    TX11Typist FTypist;
};

} // namespace

std::unique_ptr<IPlatform> CreatePlatform() {
    return std::make_unique<TX11Platform>();
}

} // namespace velmora
