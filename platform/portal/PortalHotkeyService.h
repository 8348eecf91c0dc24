#pragma once

#include "platform/HotkeyService.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <string>

namespace velmora {

/// System-wide hotkeys through the desktop's GlobalShortcuts portal (org.freedesktop.portal.GlobalShortcuts):
/// a Start binds one shortcut per registered row in one BindShortcuts call of a fresh session, asking for the row's
/// combination as the preferred trigger; the desktop may bind fewer, or other triggers. A shortcut's Activated
/// signal is reported as a press of the combination registered under its row. Stop closes the session. Runs on the
/// GUI thread; needs the Qt application object.
class TPortalHotkeyService final : public QObject, public IHotkeyService {
    Q_OBJECT
public:
    /// Whether the session bus has a portal that offers GlobalShortcuts.
    static bool Offered();

    /// Newer portals want the program's app id first (RegisterPortalApp).
    TPortalHotkeyService();
    ~TPortalHotkeyService() override;

    HotkeyStatus RegisterHotKey(int id, unsigned modifiers, std::int32_t virtualKey) override;
    void UnregisterHotKey(int id) override;
    void SetPressHandler(HotkeyPressHandler handler) override;
    void DescribeHotKey(int id, std::size_t rowNumber, const std::string& text) override;
    std::map<int, HotkeyStatus> FinishRegistrations() override;
    std::string RefusalReason(int id) const override;

private slots:
    void Activated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                   const QVariantMap& options);

private:
    struct TShortcut {
        unsigned modifiers = 0;
        std::int32_t virtualKey = 0;
        std::string trigger;
        std::string shortcutId;
        std::string description;
        bool bound = false;
    };
    /// Opens a session when there is none; false when the portal refused (the reason in FLastError).
    bool EnsureSession();
    void CloseSession();

    QDBusConnection FBus;
    QString FSession; ///< the session's object path; empty without one
    std::map<int, TShortcut> FShortcuts;
    std::map<int, std::pair<std::size_t, std::string>> FDescriptions;
    std::map<int, std::string> FRefusals; ///< why a shortcut of the last Start is not bound
    HotkeyPressHandler FHandler;
    QString FLastError;
};

} // namespace velmora
