#pragma once

#include "platform/WindowFocus.h"

namespace velmora {

/// The focus as a test sets it: counts the calls; IsBack says what `back` holds.
class FakeWindowFocus final : public IWindowFocus {
public:
    void Remember() override { ++remembered; }
    void Activate(unsigned long) override { ++activated; }
    void GiveBack() override { ++givenBack; }
    bool IsBack() const override { return back; }

    int remembered = 0;
    int activated = 0;
    int givenBack = 0;
    bool back = true;
};

} // namespace velmora
