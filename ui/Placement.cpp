#include "Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>

namespace velmora {

namespace {

/// The frame the window manager put around the window, as the window system tells it now. The widget's own frame
/// geometry learns of a frame only when the window moves, and a window manager that frames a window where it stands
/// does not move it.
QMargins FrameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

/// Puts the window's frame, as far as it is known yet, in the centre of the desktop.
void MoveFrameToCentre(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // Before the window manager has framed the window, its frame is the window itself.
    const QMargins margins = FrameMargins(window);
    QRect frame(QPoint(), window.size().grownBy(margins));
    frame.moveCenter(screen->availableGeometry().center());
    QWindow* handle = window.windowHandle();
    if (handle != nullptr && window.testAttribute(Qt::WA_WState_Created)) {
        handle->setPosition(frame.topLeft() + QPoint(margins.left(), margins.top())); // the window inside its frame
    } else {
        window.move(frame.topLeft()); // before the window exists, move() places its frame's top left corner
    }
}

/// Centres the frame again whenever the window manager gives the window another frame while it is being shown: the
/// frame is known only once the window manager has framed the window, and its size may be told in more than one
/// step. Once the window has had its frame for a while, or is hidden, it is left where it is: a frame that changes
/// later (a maximised window, another theme, a restarted window manager) does not take it from where the user put it.
class TFrameCentring final : public QObject {
    /// How long after the first frame further frames are still taken for the window's own.
    static constexpr std::chrono::milliseconds kSettling{2000};

public:
    explicit TFrameCentring(QWidget& window) : QObject(&window), FWindow(window) { window.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &FWindow) {
            return false;
        }
        if (event->type() == QEvent::Hide) {
            deleteLater();
        } else if (FWindow.isVisible() && (FWindow.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) == 0 &&
                   (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                    event->type() == QEvent::Paint)) {
            const QMargins margins = FrameMargins(FWindow);
            if (margins != FMargins) {
                if (FMargins.isNull()) {
                    QTimer::singleShot(kSettling, this, &QObject::deleteLater);
                }
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
