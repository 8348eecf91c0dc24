#include "Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace velmora {

namespace {

/// Puts the window's frame, as far as it is known yet, in the centre of the desktop.
void MoveFrameToCentre(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // Before the window manager has framed the window, its frame is the window itself.
    QRect frame(QPoint(), window.frameGeometry().size());
    frame.moveCenter(screen->availableGeometry().center());
    // move() places the frame's top left corner.
    window.move(frame.topLeft());
}

/// Centres the frame again whenever the window manager gives the window another frame: the frame is known only
/// once the window manager has framed the window, and its size may be told in more than one step. A move by the
/// user keeps the frame as it is and the window where the user put it.
class TFrameCentring final : public QObject {
public:
    explicit TFrameCentring(QWidget& window) : QObject(&window), FWindow(window) { window.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &FWindow && FWindow.isVisible() &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Paint)) {
            const QRect frame = FWindow.frameGeometry();
            const QRect client = FWindow.geometry();
            const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                                   frame.right() - client.right(), frame.bottom() - client.bottom());
            if (margins != FMargins) {
                FMargins = margins;
                MoveFrameToCentre(FWindow);
            }
        }
        return false;
    }

private:
    QWidget& FWindow;
    QMargins FMargins; ///< the frame the window was last centred with
};

} // namespace

void CentreOnDesktop(QWidget& window) {
    MoveFrameToCentre(window);
    new TFrameCentring(window);
}

} // namespace velmora
