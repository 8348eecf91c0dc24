// Under a window manager (tests/e2e/placement_test.sh runs it under Xvfb and openbox): the About box, the settings
// dialog and the main window are centred on the desktop as the framed windows the window manager draws.
#include "ui/About.h"
#include "ui/FMConfig.h"
#include "ui/MainForm.h"

#include "core/Config.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHotkeyService.h"
#include "fakes/FakeTypist.h"
#include "fakes/FakeUserAnswers.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Placement, UnderAWindowManagerTheFramesAreCentred) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server with a window manager";
    }
    testing::FakeFileSystem fs;
    test::FakeHotkeyService hotkeys;
    FakeTypist typist;
    testing::FakeUserAnswers answers;
    TMForm mainWindow(TMFormServices{fs, hotkeys, typist, nullptr, &answers, nullptr, [] { return false; }});
    TConfig config(fs);
    TFMAbout about(&mainWindow);
    TFMConfig settings(config, &mainWindow);
    for (QWidget* window : std::initializer_list<QWidget*>{&mainWindow, &about, &settings}) {
        window->show();
        const QPoint centre = window->screen()->availableGeometry().center();
        const auto framedInTheCentre = [&] {
            return window->frameGeometry() != window->geometry() &&
                   (window->frameGeometry().center() - centre).manhattanLength() <= 2;
        };
        EXPECT_TRUE(QTest::qWaitFor(framedInTheCentre, 5000))
            << window->objectName().toStdString() << ": the frame's centre is at "
            << window->frameGeometry().center().x() << "," << window->frameGeometry().center().y()
            << ", the desktop's at " << centre.x() << "," << centre.y();
    }
}

} // namespace
} // namespace velmora
