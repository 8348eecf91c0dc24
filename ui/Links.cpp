#include "Links.h"

#include "core/Producer.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace velmora {

bool OpenWebSite() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(kWebSite)));
    return true;
}

bool OpenMailTo() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kSupportMail)));
    return true;
}

void OpenFolder(const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace velmora
