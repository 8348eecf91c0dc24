#pragma once

#include "HotkeyService.h"

namespace velmora {

/// The hotkey service of a session that offers none: every registration is refused as unavailable.
class TNoHotkeyService final : public IHotkeyService {
public:
    THotkeyResult RegisterHotKey(const THotkeyRequest&) override { return {HotkeyStatus::Unavailable, {}}; }
    void UnregisterHotKey(int) override {}
    void SetPressHandler(HotkeyPressHandler) override {}
};

} // namespace velmora
