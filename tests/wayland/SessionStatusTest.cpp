// The main window's part of a Wayland session: the note on what works, and the typist's problems reported from
// the typist's own thread.
#include "app/SessionStatus.h"
#include "ui/MainForm.h"

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHotkeyService.h"
#include "fakes/FakeTypist.h"
#include "fakes/FakeUserAnswers.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace velmora {
namespace {

/// A typist that keeps the problem handler it is given.
class THandlerTypist final : public ITypist {
public:
    void TypeText(const std::string&, std::int32_t) override {}
    void SetProblemHandler(TypingProblemHandler handler) override { FHandler = std::move(handler); }
    TypingProblemHandler FHandler;
};

class SessionStatusTest : public ::testing::Test {
protected:
    testing::FakeFileSystem fs;
    test::FakeHotkeyService hotkeys;
    THandlerTypist typist;
    testing::FakeUserAnswers answers;
    TMForm form{TMFormServices{fs, hotkeys, typist, nullptr, &answers, nullptr, [] { return true; }}};

    QLabel* StatusLine() { return form.findChild<QLabel*>("SessionStatus"); }
};

TEST_F(SessionStatusTest, TheNoteGoesIntoAStatusLineAndTheTrayTooltipOnlyWhenThereIsOne) {
    ShowSessionNote(form, "");
    EXPECT_EQ(StatusLine(), nullptr);
    EXPECT_EQ(form.TrayIcon->toolTip(), "Velmora");

    ShowSessionNote(form, "Wayland session: bind \"/x/velmora --type-row N\".");
    ASSERT_NE(StatusLine(), nullptr);
    EXPECT_EQ(StatusLine()->text(), "Wayland session: bind \"/x/velmora --type-row N\".");
    EXPECT_EQ(form.TrayIcon->toolTip(), "Velmora\nWayland session: bind \"/x/velmora --type-row N\".");
}

TEST_F(SessionStatusTest, AStartsNoteFollowsTheSessionNoteUntilAStartWithNothingToSay) {
    ShowStartNote(form, "", "");
    EXPECT_EQ(StatusLine(), nullptr);
    ShowStartNote(form, "", "Not in force: row 2.");
    ASSERT_NE(StatusLine(), nullptr);
    EXPECT_EQ(StatusLine()->text(), "Not in force: row 2.");
    ShowStartNote(form, "", "");
    EXPECT_EQ(StatusLine()->text(), "");

    ShowSessionNote(form, "Wayland session.");
    ShowStartNote(form, "Wayland session.", "Not in force: row 1.");
    EXPECT_EQ(StatusLine()->text(), "Wayland session. Not in force: row 1.");
    ShowStartNote(form, "Wayland session.", "");
    EXPECT_EQ(StatusLine()->text(), "Wayland session.");
    EXPECT_EQ(form.TrayIcon->toolTip(), "Velmora\nWayland session.");
}

TEST_F(SessionStatusTest, AProblemFromTheTypistsThreadShowsInTheStatusLineAndAWarning) {
    ReportTypingProblems(form, typist);
    ASSERT_TRUE(typist.FHandler);
    std::thread([this] { typist.FHandler("2 characters were not typed: é 漢"); }).join();
    QCoreApplication::processEvents();

    ASSERT_NE(StatusLine(), nullptr);
    EXPECT_EQ(StatusLine()->text(), QString::fromUtf8("2 characters were not typed: é 漢"));
    const auto boxes = form.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.front()->windowTitle(), "Warning");
    EXPECT_TRUE(boxes.front()->isVisible());
    EXPECT_EQ(boxes.front()->text(), StatusLine()->text());
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
