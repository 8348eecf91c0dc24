#include "ui/About.h"

#include "core/Producer.h"

#include <QDesktopServices>
#include <QLabel>
#include <QObject>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

/// Catches the links the box opens, instead of the desktop's programs.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() {
        QDesktopServices::setUrlHandler("https", this, "Open");
        QDesktopServices::setUrlHandler("mailto", this, "Open");
        QDesktopServices::setUrlHandler("file", this, "Open");
    }
    ~UrlCatcher() override {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("mailto");
        QDesktopServices::unsetUrlHandler("file");
    }
    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(About, ShowsNameLinksAndSizesCentredOnTheDesktop) {
    QWidget mainWindow;
    mainWindow.setGeometry(10, 10, 200, 100);
    mainWindow.show();
    TFMAbout about(&mainWindow);
    about.show();
    // Within the window frame's width of the centre; not over the main window.
    EXPECT_LE((about.geometry().center() - about.screen()->availableGeometry().center()).manhattanLength(), 8);
    EXPECT_EQ(about.windowTitle(), "About Velmora");
    EXPECT_EQ(about.size(), QSize(322, 140));
    EXPECT_EQ(about.Label1->text(), "Velmora 1.1 ");
    EXPECT_TRUE(about.Label1->font().bold());
    EXPECT_EQ(about.Label5->text(), kWebSite);
    EXPECT_EQ(about.Label7->text(), kSupportMail);
    EXPECT_EQ(about.Label5->geometry(), QRect(64, 67, 227, 13));
    EXPECT_TRUE(about.Label7->font().underline());
    EXPECT_EQ(about.Label7->cursor().shape(), Qt::PointingHandCursor);
}

TEST(About, LinkClicksOpenTheLinksAndTheFilesFolderAndKeepTheBoxOpen) {
    UrlCatcher catcher;
    const QString folder = "/home/ann/.config/velmora with a name long enough to be cut short in the middle";
    TFMAbout about(nullptr, folder);
    about.show();
    EXPECT_TRUE(about.LabelFolder->text().startsWith("/home/ann/"));
    EXPECT_TRUE(about.LabelFolder->text().endsWith(" in the middle"));
    EXPECT_EQ(about.LabelFolder->toolTip(), folder);
    QTest::mouseClick(about.Label5, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(about.Label7, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(about.LabelFolder, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(catcher.opened.size(), 3U);
    EXPECT_EQ(catcher.opened[0], QUrl(kWebSite));
    EXPECT_EQ(catcher.opened[1].toString(), QString("mailto:") + kSupportMail);
    EXPECT_EQ(catcher.opened[2], QUrl::fromLocalFile(folder));
    EXPECT_TRUE(about.isVisible());
    // A click on a label that is not a link does nothing either.
    QTest::mouseClick(about.Label2, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(about.isVisible());
}

TEST(About, ABackgroundClickClosesTheBox) {
    TFMAbout about;
    about.show();
    QSignalSpy finished(&about, &QDialog::finished);
    QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(finished.count(), 1);
}

} // namespace
} // namespace velmora

#include "AboutTest.moc"
