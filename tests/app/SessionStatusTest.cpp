// The main window's part of a session: the note on what works, the typist's problems reported from the typist's own
// thread, and hotkey presses read from the backend's connection.
#include "app/SessionStatus.h"
#include "app/HotkeyPump.h"
#include "core/Base64.h"
#include "ui/MainForm.h"

#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"
#include "tests/fakes/FakeUserAnswers.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

namespace velmora {
namespace {

/// A backend connection: each Post() is one press of CTRL+F5 when the events are read.
class TPostedEvents final : public IEventSource {
public:
    explicit TPostedEvents(test::FakeHotkeyService& hotkeys) : FHotkeys(hotkeys) {}
    ~TPostedEvents() override { ::close(FFd); }
    int FileDescriptor() const override { return FFd; }
    void ProcessPendingEvents() override {
        eventfd_t count = 0;
        ::eventfd_read(FFd, &count); // fails, leaving 0, when nothing was posted
        while (count-- > 0) {
            FHotkeys.Press(kModControl, 116);
        }
    }
    void Post() { ASSERT_EQ(::eventfd_write(FFd, 1), 0); }

private:
    test::FakeHotkeyService& FHotkeys;
    const int FFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};

class SessionStatusTest : public ::testing::Test {
protected:
    SessionStatusTest() {
        fs.SetFile(kListPath, R"(<?xml version="1.0" encoding="utf-8"?><list><item FStr=")" + EncodeBase64("hello") +
                                  R"(" FHKCtrl="1" FHKChar="116" checked="True"/></list>)");
        form =
            std::make_unique<TMForm>(TMFormServices{fs, hotkeys, typist, &answers, nullptr, [] { return true; }, {}});
    }

    static constexpr const char* kListPath = "/opt/velmora/mouses.xml";
    testing::FakeFileSystem fs;
    test::FakeHotkeyService hotkeys;
    FakeTypist typist;
    testing::FakeUserAnswers answers;
    std::unique_ptr<TMForm> form;

    QLabel* StatusLine() { return form->findChild<QLabel*>("SessionStatus"); }
};

TEST_F(SessionStatusTest, TheNoteGoesIntoAStatusLineAndTheTrayTooltipOnlyWhenThereIsOne) {
    ShowSessionNote(*form, "");
    EXPECT_EQ(StatusLine(), nullptr);
    EXPECT_EQ(form->TrayIcon->toolTip(), "Velmora");

    ShowSessionNote(*form, "Wayland session: bind \"/x/velmora --type-row N\".");
    ASSERT_NE(StatusLine(), nullptr);
    EXPECT_EQ(StatusLine()->text(), "Wayland session: bind \"/x/velmora --type-row N\".");
    EXPECT_EQ(form->TrayIcon->toolTip(), "Velmora\nWayland session: bind \"/x/velmora --type-row N\".");
}

TEST_F(SessionStatusTest, AStartsNoteFollowsTheSessionNoteUntilAStartWithNothingToSay) {
    ShowStartNote(*form, "", "");
    EXPECT_EQ(StatusLine(), nullptr);
    ShowStartNote(*form, "", "Not in force: row 2.");
    ASSERT_NE(StatusLine(), nullptr);
    EXPECT_EQ(StatusLine()->text(), "Not in force: row 2.");
    ShowStartNote(*form, "", "");
    EXPECT_EQ(StatusLine()->text(), "");

    ShowSessionNote(*form, "Wayland session.");
    ShowStartNote(*form, "Wayland session.", "Not in force: row 1.");
    EXPECT_EQ(StatusLine()->text(), "Wayland session. Not in force: row 1.");
    ShowStartNote(*form, "Wayland session.", "");
    EXPECT_EQ(StatusLine()->text(), "Wayland session.");
    EXPECT_EQ(form->TrayIcon->toolTip(), "Velmora\nWayland session.");
}

TEST_F(SessionStatusTest, ProblemsShowInTheStatusLineAtOnceAndInOneWarningPerStartOnceTheTypingEnded) {
    bool typing = true;
    ReportTypingProblems(*form, typist, [&typing] { return typing; });
    ASSERT_TRUE(typist.problemHandler);
    std::thread([this] {
        typist.problemHandler("2 characters could not be typed (é 漢)");
        typist.problemHandler("1 character could not be typed (ñ)");
    }).join();
    QCoreApplication::processEvents();

    ASSERT_NE(StatusLine(), nullptr);
    EXPECT_EQ(StatusLine()->text(), QString::fromUtf8("1 character could not be typed (ñ)"));
    EXPECT_TRUE(form->findChildren<QMessageBox*>().empty()); // a new window could take the focus from the typing
    std::thread([this] { typist.idleHandler(); }).join();    // idle, but another text came meanwhile
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->findChildren<QMessageBox*>().empty());
    typing = false;
    std::thread([this] { typist.idleHandler(); }).join();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->findChildren<QMessageBox*>().empty(); }));
    auto boxes = form->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.front()->windowTitle(), "Warning");
    EXPECT_TRUE(boxes.front()->isVisible());
    EXPECT_TRUE(boxes.front()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(boxes.front()->text(), StatusLine()->text());

    form->btnStart->click();
    std::thread([this] { typist.problemHandler("after Start"); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->findChildren<QMessageBox*>().size(), 2);
    form.reset(); // the window's end silences the typist's notice
    EXPECT_FALSE(typist.idleHandler);
}

TEST_F(SessionStatusTest, PressesOnTheBackendsConnectionReachTheController) {
    TPostedEvents events(hotkeys);
    THotkeyPump pump(events, *form);
    form->show();
    form->btnStart->click();
    events.Post();
    events.Post();
    EXPECT_TRUE(QTest::qWaitFor([this] { return typist.Texts().size() >= 2; }));
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"hello", "hello"}));
}

} // namespace
} // namespace velmora
