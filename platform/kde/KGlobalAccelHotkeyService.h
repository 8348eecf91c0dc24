#pragma once

#include "platform/HotkeyService.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace velmora {

/// System-wide hotkeys through KDE Plasma's global shortcut service (org.kde.kglobalaccel, in KWin on Wayland):
/// each registered row becomes one shortcut "row-N" of this copy's component, set to the row's combination. A
/// combination another component holds (another copy's too) is refused (HeldElsewhere, with the holder named). The
/// service keeps shortcuts after their program is gone: they are removed at Stop and when this object goes; what a
/// killed copy left is removed when this object is made for the same component, or by RemoveKdeLeftovers. Presses
/// arrive as D-Bus signals on the GUI thread. Every call blocks for the service's answer, without an event loop; needs
/// the Qt application object.
class TKGlobalAccelHotkeyService final : public QObject, public IHotkeyService {
    Q_OBJECT
public:
    /// Whether the session bus has the service running (it is not started on demand: outside Plasma it would
    /// see only X11 keys).
    static bool Offered();

    /// `component`: the name the shortcuts are kept under (KdeComponent: this copy's own, whose leftovers are
    /// removed here); `componentName`: the one the desktop's shortcut settings show.
    TKGlobalAccelHotkeyService(const QString& component, const QString& componentName);
    ~TKGlobalAccelHotkeyService() override;

    THotkeyResult RegisterHotKey(const THotkeyRequest& request) override;
    void UnregisterHotKey(int id) override;
    void SetPressHandler(HotkeyPressHandler handler) override;

private slots:
    void Pressed(const QString& component, const QString& action, qlonglong timestamp);

private:
    struct TShortcut {
        QString action;
    };
    /// The service's four names of an action: component, action, and what the user sees of both.
    QStringList ActionId(const QString& action, const QString& description) const;
    /// Removes the action from the service (and from its settings file).
    void Remove(const QString& action);
    /// Who holds the key, in words; empty when the service does not say.
    std::string Holder(int key);

    QDBusConnection FBus;
    const QString FComponent;
    const QString FComponentName;
    std::map<int, TShortcut> FShortcuts;
    HotkeyPressHandler FHandler;
};

} // namespace velmora
