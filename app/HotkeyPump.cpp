#include "HotkeyPump.h"

#include "ui/MainForm.h"

#include <QSocketNotifier>

namespace velmora {

THotkeyPump::THotkeyPump(IEventSource& events, TMForm& form)
    : FEvents(events), FForm(form),
      FNotifier(new QSocketNotifier(events.FileDescriptor(), QSocketNotifier::Read, this)) {
    connect(FNotifier, &QSocketNotifier::activated, this, &THotkeyPump::Pump);
    connect(&form, &TMForm::Closed, this, [this] { FNotifier->setEnabled(false); });
}

void THotkeyPump::Pump() {
    FForm.Guard([this] { FEvents.ProcessPendingEvents(); });
}

} // namespace velmora
