#include "Placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace velmora {

void CentreOnDesktop(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect area(QPoint(), window.size());
    area.moveCenter(screen->availableGeometry().center());
    // A window moved before it is shown keeps its place: a dialog is then not put over its parent.
    window.move(area.topLeft());
}

} // namespace velmora
