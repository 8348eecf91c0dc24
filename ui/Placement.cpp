#include "Placement.h"

#include <QEvent>
#include <QGuiApplication>
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

/// Centres the frame once more when the window manager has framed the window: by the window's first paint, or its
/// move when the window manager keeps the frame's corner where it was asked for, the frame is known.
class TFrameCentring final : public QObject {
public:
    explicit TFrameCentring(QWidget& window) : QObject(&window), FWindow(window) { window.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &FWindow && (event->type() == QEvent::Move || event->type() == QEvent::Paint) &&
            FWindow.isVisible() && FWindow.frameGeometry() != FWindow.geometry()) {
            FWindow.removeEventFilter(this);
            MoveFrameToCentre(FWindow);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& FWindow;
};

} // namespace

void CentreOnDesktop(QWidget& window) {
    MoveFrameToCentre(window);
    new TFrameCentring(window);
}

} // namespace velmora
