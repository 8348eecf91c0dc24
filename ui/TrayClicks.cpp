#include "TrayClicks.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>

#include <utility>

namespace velmora {

namespace {

constexpr const char* kEmbeddedIconName = "QSystemTrayIconSys";

} // namespace

TTrayClicks::TTrayClicks(QSystemTrayIcon& icon, QObject* parent) : QObject(parent) {
    connect(&icon, &QSystemTrayIcon::activated, this, &TTrayClicks::Activated);
    QCoreApplication::instance()->installEventFilter(this);
}

TTrayClicks::~TTrayClicks() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

bool TTrayClicks::IsEmbeddedIcon(const QObject* object) {
    return object != nullptr && object->isWidgetType() &&
           (object->inherits(kEmbeddedIconName) || object->objectName() == QLatin1String(kEmbeddedIconName));
}

bool TTrayClicks::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::MouseButtonRelease) &&
        IsEmbeddedIcon(watched) && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (type == QEvent::MouseButtonRelease) {
            emit Clicked();
        } else {
            FPressOnEmbeddedIcon = true;
        }
    }
    return false;
}

void TTrayClicks::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (std::exchange(FPressOnEmbeddedIcon, false)) {
        return; // the release makes the click
    }
    // A double click is a second left click.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
        emit Clicked();
    }
}

} // namespace velmora
