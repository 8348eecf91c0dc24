#pragma once

#include "platform/EventSource.h"

#include <QObject>

class QSocketNotifier;

namespace velmora {

class TMForm;

/// Reads the hotkey backend's connection on the GUI thread whenever it has events, so that its presses reach the
/// main window's controller; an error in handling them is shown as the main window shows any error. Stops when the
/// main window closes.
class THotkeyPump : public QObject {
    Q_OBJECT
public:
    /// `events` and `form` must outlive the pump.
    THotkeyPump(IEventSource& events, TMForm& form);

private:
    void Pump();

    IEventSource& FEvents;
    TMForm& FForm;
    QSocketNotifier* FNotifier; // a child
};

} // namespace velmora
