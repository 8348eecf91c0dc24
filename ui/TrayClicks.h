#pragma once

#include <QObject>
#include <QSystemTrayIcon>

class QEvent;

namespace velmora {

/// The clicks on the tray icon, each on the release of the left button. Qt reports a click on the icon it embeds in
/// an X11 tray on the press; for that icon the release is taken instead, and the press's activation is dropped. An
/// icon the desktop shows itself (a status notifier item) reports the clicks as the desktop sees them.
class TTrayClicks final : public QObject {
    Q_OBJECT
public:
    /// Watches `icon` (and the application's events, for the embedded icon's mouse buttons).
    TTrayClicks(QSystemTrayIcon& icon, QObject* parent);
    ~TTrayClicks() override;
    TTrayClicks(const TTrayClicks&) = delete;
    TTrayClicks& operator=(const TTrayClicks&) = delete;

    /// Whether `object` is the widget Qt embeds in an X11 tray for a tray icon.
    static bool IsEmbeddedIcon(const QObject* object);

signals:
    /// A left click on the icon; a double click is two.
    void Clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    bool FPressOnEmbeddedIcon = false; ///< the activation that follows is the press's, not a click
};

} // namespace velmora
