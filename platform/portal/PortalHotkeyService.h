#pragma once

#include "PortalRequest.h"
#include "platform/HotkeyService.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <string>

namespace velmora {

/// System-wide hotkeys through the desktop's GlobalShortcuts portal (org.freedesktop.portal.GlobalShortcuts):
/// a Start binds one shortcut per registered row in one BindShortcuts call of a fresh session, asking for the row's
/// combination as the preferred trigger; the desktop may bind fewer, or other triggers. The calls are sent without
/// waiting: the rows are pending until the desktop answers (it may ask the user first), then settled. A shortcut's
/// Activated signal is reported as a press of the registration it was bound for. Stop closes the session,
/// or the one still being opened once it is there. Runs on the GUI thread; needs the Qt application object.
class TPortalHotkeyService final : public QObject, public IHotkeyService {
    Q_OBJECT
public:
    /// Whether the session bus has a portal that offers GlobalShortcuts.
    static bool Offered();

    /// Newer portals want the program's app id first (RegisterPortalApp).
    TPortalHotkeyService();
    ~TPortalHotkeyService() override;

    THotkeyResult RegisterHotKey(const THotkeyRequest& request) override;
    void UnregisterHotKey(int id) override;
    void SetPressHandler(HotkeyPressHandler handler) override;
    std::map<int, THotkeyResult> FinishRegistrations() override;
    void SetSettledHandler(HotkeySettledHandler handler) override;

private slots:
    void Activated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                   const QVariantMap& options);

private:
    enum class TState {
        Wanted,  ///< registered, not yet asked for
        Asked,   ///< in the BindShortcuts call under way
        Bound,   ///< bound by the desktop
        Refused, ///< not bound
    };
    struct TShortcut {
        std::string trigger;
        std::string shortcutId;
        std::string description;
        TState state = TState::Wanted;
    };
    /// Sends the next call the wanted shortcuts need (CreateSession, or BindShortcuts once the session is open),
    /// unless one is under way.
    void Proceed();
    /// Takes the answer to CreateSession; `round` is the FRound it was sent in.
    void SessionCreated(const TPortalResponse& response, const QString& sessionToken, unsigned round);
    /// Settles the shortcuts in state `from`: bound if their ids are in `bound`, else refused for `problem`.
    void Settle(TState from, const QStringList& bound, const QString& problem);
    /// Closes the session, and makes what is under way belong to no Start.
    void CloseSession();

    QDBusConnection FBus;
    QString FSession;                   ///< the session's object path; empty without one
    TPortalRequest* FRequest = nullptr; ///< the call under way for the current Start (a child of this object)
    unsigned FRound = 0;                ///< counts the closings: an answer sent before the last one is stale
    std::map<int, TShortcut> FShortcuts;
    HotkeyPressHandler FHandler;
    HotkeySettledHandler FSettled;
};

} // namespace velmora
