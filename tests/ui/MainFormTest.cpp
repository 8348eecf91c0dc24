#include "ui/MainForm.h"

#include "core/Base64.h"
#include "tests/fakes/FakeControllerDialogs.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"
#include "tests/fakes/FakeUserAnswers.h"
#include "tests/fakes/FakeWindowFocus.h"
#include "ui/About.h"
#include "ui/FMConfig.h"
#include "ui/ItemListView.h"
#include "ui/PickerForm.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velmora {
namespace {

using testing::FakeControllerDialogs;
using testing::FakeFileSystem;
using testing::FakeUserAnswers;

constexpr const char* kListPath = "/opt/velmora/mouses.xml";
constexpr const char* kConfigPath = "/opt/velmora/config.configxml";

std::string Item(const std::string& text, int ctrl, int key, bool checked) {
    return "<item FStr=\"" + EncodeBase64(text) + "\" FHKCtrl=\"" + std::to_string(ctrl) + "\" FHKChar=\"" +
           std::to_string(key) + "\" checked=\"" + (checked ? "True" : "False") + "\"/>";
}

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() {
        fs.SetFile(kListPath, R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?><list versionNo="1.0">)" +
                                  Item("hello", 1, 116, true) + Item("second line", 0, 65, false) +
                                  Item("third", 2, 90, true) + "</list>");
    }

    std::unique_ptr<TMForm> MakeForm(bool trayAvailable = true) {
        auto form = std::make_unique<TMForm>(TMFormServices{
            fs, hotkeys, typist, &answers, &dialogs, [trayAvailable] { return trayAvailable; }, {}, &focus});
        form->show();
        QCoreApplication::processEvents();
        return form;
    }

    FakeFileSystem fs;
    test::FakeHotkeyService hotkeys;
    FakeTypist typist;
    FakeUserAnswers answers;
    FakeControllerDialogs dialogs;
    FakeWindowFocus focus;
};

TEST_F(MainFormTest, ThePickersHotkeyOffersEveryRowAndTypesTheChosenOneOnceTheFocusIsBack) {
    auto form = MakeForm();
    form->btnStart->click();
    form->hide(); // in the tray
    ASSERT_TRUE(hotkeys.Press(kModControl | kModAlt, kSpaceKey));
    EXPECT_EQ(focus.remembered, 1) << "the window that had the focus is noted before the picker shows";
    TPickerForm* picker = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        picker = picker != nullptr ? picker : qobject_cast<TPickerForm*>(window);
    }
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->List->topLevelItemCount(), 3) << "the unchecked row too";
    QTest::keyClicks(picker->Filter, "SECOND");
    ASSERT_EQ(picker->List->topLevelItemCount(), 1);
    focus.back = false;
    QTest::keyClick(picker->Filter, Qt::Key_Return);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(focus.givenBack, 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(typist.Texts().empty()) << "typed before the window that had the focus has it again";
    focus.back = true;
    EXPECT_TRUE(QTest::qWaitFor([this] { return !typist.Texts().empty(); }, 5000));
    EXPECT_EQ(typist.Texts(), std::vector<std::string>{"second line"});

    // Esc types nothing; the row typed last comes first the next time.
    form->MainCtrl()->HotKeys().OpenPicker();
    EXPECT_EQ(picker->List->topLevelItem(0)->text(2), "second line");
    QTest::keyClick(picker->Filter, Qt::Key_Escape);
    EXPECT_FALSE(picker->isVisible());
    form->btnStop->click();
    EXPECT_FALSE(hotkeys.Press(kModControl | kModAlt, kSpaceKey)) << "released at Stop";
    EXPECT_EQ(typist.Texts().size(), 1u);
}

TEST_F(MainFormTest, StartsWithCaptionStartButtonAndTheDefaultFilesRows) {
    auto form = MakeForm();
    EXPECT_EQ(form->windowTitle(), "Velmora 1.1 ");
    EXPECT_TRUE(form->btnStart->isVisible());
    EXPECT_FALSE(form->btnStop->isVisible());
    ASSERT_NE(form->MainCtrl(), nullptr);
    EXPECT_TRUE(hotkeys.registerCalls.empty());

    const QAbstractItemModel* model = form->VT->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->data(model->index(1, 2)).toString(), "second line");
    EXPECT_EQ(model->data(model->index(0, 1)).toString(), "CTRL+F5");
    EXPECT_EQ(model->data(model->index(1, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(model->data(model->index(2, 0), Qt::CheckStateRole).toInt(), Qt::Checked);

    EXPECT_EQ(form->centralWidget()->size(), QSize(TMForm::kClientWidth, TMForm::kClientHeight));
    EXPECT_EQ(form->size().height(), TMForm::kClientHeight + form->menuBar()->height());
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->TrayIcon->toolTip(), "Velmora");
    EXPECT_TRUE(form->TrayIcon->isVisible());
    EXPECT_FALSE(form->TrayIcon->icon().isNull());
    ASSERT_EQ(form->menuBar()->actions().size(), 3);
    EXPECT_EQ(form->menuBar()->actions()[0]->text(), "About");
    EXPECT_EQ(form->menuBar()->actions()[1]->text(), "Help");
    EXPECT_EQ(form->menuBar()->actions()[1]->menu(), nullptr);
    EXPECT_EQ(form->menuBar()->actions()[2]->text(), QString::fromUtf8("Settings\xE2\x80\xA6"));
    form->m3->trigger();
    EXPECT_EQ(dialogs.settingsShown, 1) << "Settings... opens the settings dialog";
}

TEST_F(MainFormTest, AtStartNoRowIsPickedSoEditAndDeleteDoNothing) {
    auto form = MakeForm();
    QApplication::setActiveWindow(form.get());
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->VT->hasFocus()) << "the list is the one control that takes the keyboard focus";
    EXPECT_FALSE(form->MainCtrl()->Rows().Focused());
    EXPECT_FALSE(form->VT->selectionModel()->hasSelection());

    form->SpeedButton5->click(); // no definition dialog expected
    form->SpeedButton7->click();
    EXPECT_TRUE(answers.TextsOf("yesno").empty());
    EXPECT_EQ(form->VT->model()->rowCount(), 3);
}

TEST_F(MainFormTest, StartAndStopSwapTheButtonsAndRegisterTheCheckedRows) {
    auto form = MakeForm();
    form->btnStart->click();
    EXPECT_FALSE(form->btnStart->isVisible());
    EXPECT_TRUE(form->btnStop->isVisible());
    EXPECT_EQ(hotkeys.inForce.size(), 3U) << "two checked rows and the picker";
    EXPECT_TRUE(hotkeys.Press(kModControl, 116));
    EXPECT_FALSE(hotkeys.Press(0, 65)); // the unchecked row
    EXPECT_EQ(typist.Texts(), std::vector<std::string>{"hello"});

    form->btnStop->click();
    EXPECT_TRUE(form->btnStart->isVisible());
    EXPECT_FALSE(form->btnStop->isVisible());
    EXPECT_TRUE(hotkeys.inForce.empty());
}

TEST_F(MainFormTest, TrayClicksToggleTheWindowAndOtherButtonsDoNothing) {
    auto form = MakeForm();
    emit form->TrayIcon->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form->isVisible());
    emit form->TrayIcon->activated(QSystemTrayIcon::Context);
    emit form->TrayIcon->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(form->isVisible());
    emit form->TrayIcon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(form->isVisible());
    // A double click is two left clicks: the window ends as it was.
    emit form->TrayIcon->activated(QSystemTrayIcon::Trigger);
    emit form->TrayIcon->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form->isVisible());

    // The icon Qt embeds in an X11 tray reports the press: the release toggles, twice for a double click.
    QWidget embedded;
    embedded.setObjectName("QSystemTrayIconSys");
    const auto left = [&](QEvent::Type type) {
        QMouseEvent event(type, QPointF(4, 4), QPointF(4, 4), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&embedded, &event);
        if (type == QEvent::MouseButtonPress) {
            emit form->TrayIcon->activated(QSystemTrayIcon::Trigger);
        } else if (type == QEvent::MouseButtonDblClick) {
            emit form->TrayIcon->activated(QSystemTrayIcon::DoubleClick);
        }
    };
    left(QEvent::MouseButtonPress);
    EXPECT_TRUE(form->isVisible()) << "not on the press";
    left(QEvent::MouseButtonRelease);
    EXPECT_FALSE(form->isVisible());
    left(QEvent::MouseButtonPress); // a double click: two releases leave the window as it was
    left(QEvent::MouseButtonRelease);
    EXPECT_TRUE(form->isVisible());
    left(QEvent::MouseButtonDblClick);
    left(QEvent::MouseButtonRelease);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, MinimisingHidesIntoTheTrayOnlyWhenThereIsATray) {
    auto withTray = MakeForm(true);
    withTray->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_FALSE(withTray->isVisible());
    emit withTray->TrayIcon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(withTray->isVisible());
    EXPECT_FALSE(withTray->isMinimized());
    withTray.reset();

    auto withoutTray = MakeForm(false);
    withoutTray->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_TRUE(withoutTray->isVisible());
    EXPECT_TRUE(withoutTray->isMinimized());
}

TEST_F(MainFormTest, AnErrorThatStopsAnActionIsShownAsAWarning) {
    auto form = MakeForm();
    answers.AnswerSave("/home/user/list.xml");
    fs.FailReplaces(EACCES);
    form->SpeedButton2->click();
    ASSERT_EQ(answers.Warnings().size(), 1U);
    EXPECT_NE(answers.Warnings()[0].find("/home/user/list.xml"), std::string::npos) << answers.Warnings()[0];
    EXPECT_FALSE(fs.File("/home/user/list.xml").has_value());
    EXPECT_EQ(form->VT->model()->rowCount(), 3);

    form->Guard([] { throw std::runtime_error("plain failure"); });
    EXPECT_EQ(answers.Warnings().back(), "plain failure");
    fs.FailReplaces(0);
}

TEST_F(MainFormTest, ExitSavesTheListAndTheSettingsAndEndsTheProgram) {
    auto form = MakeForm();
    QSignalSpy closed(form.get(), &TMForm::Closed);
    form->btnStart->click();
    form->QuitButton->click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(form->MainCtrl(), nullptr);
    EXPECT_FALSE(form->TrayIcon->isVisible());
    EXPECT_TRUE(hotkeys.inForce.empty());
    ASSERT_TRUE(fs.File(kConfigPath).has_value());
    EXPECT_NE(fs.File(kConfigPath)->find("<running"), std::string::npos);
    const std::string list = *fs.File(kListPath);
    EXPECT_NE(list.find(Item("second line", 0, 65, false)), std::string::npos) << list;
    EXPECT_NE(list.find(Item("third", 2, 90, true)), std::string::npos) << list;

    // Destroying the window after the close changes nothing more.
    fs.ClearCalls();
    form.reset();
    EXPECT_TRUE(fs.CallsOf("replace").empty());
}

TEST_F(MainFormTest, TheSessionsEndAndASignalAskNothingWhenTheListCannotBeWritten) {
    auto form = MakeForm();
    form->MainCtrl()->Rows().SetChecked(1, true); // a change that needs saving
    fs.AddFolder(kListPath);                      // every write of the list fails
    ::testing::internal::CaptureStderr();
    form->SaveForSessionEnd();
    EXPECT_TRUE(form->isVisible()) << "the session's end keeps the window";
    form->EndBySystem();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(form->MainCtrl(), nullptr);
    EXPECT_TRUE(answers.History().empty()) << "nobody is asked";
    EXPECT_EQ(fs.CallsOf("create").size(), 1u) << "the list is kept once in the state folder";
}

// A signal while the user's Exit waits in the warning about a list that could not be saved.
TEST_F(MainFormTest, ASignalDuringTheExitsQuestionKeepsTheList) {
    struct SignalInTheWarning final : IUserAnswers {
        TMForm* form = nullptr;
        int saveDialogs = 0;
        std::string PickOpenFile(const std::string&, const std::string&, const std::string&) override { return {}; }
        std::string PickSaveFile(const std::string&, const std::string&, const std::string&) override {
            ++saveDialogs;
            return {}; // the end cancels the dialog
        }
        void Warn(const std::string&) override {
            if (TMForm* target = std::exchange(form, nullptr)) {
                target->EndBySystem();
            }
        }
        bool AskYesNo(const std::string&) override { return false; }
    } signalled;
    auto form =
        std::make_unique<TMForm>(TMFormServices{fs, hotkeys, typist, &signalled, &dialogs, [] { return true; }, {}});
    signalled.form = form.get();
    form->MainCtrl()->Rows().SetChecked(1, true); // a change that needs saving
    fs.AddFolder(kListPath);
    ::testing::internal::CaptureStderr();
    form->QuitButton->click();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(fs.CallsOf("create").size(), 1u) << "the list is kept in the state folder";
}

TEST_F(MainFormTest, AStartUpWarningOpensOverTheShownWindowAndASignalMeanwhileEndsInOrder) {
    fs.SetFile(kListPath, "not a list");
    std::unique_ptr<TMForm> form;
    QPoint boxCentre;
    QTimer::singleShot(100, [&] { // SIGTERM while the warning is open
        boxCentre = QApplication::activeModalWidget()->geometry().center();
        form ? form->EndBySystem() : void(QApplication::activeModalWidget()->close());
    });
    form = std::make_unique<TMForm>(TMFormServices{fs, hotkeys, typist, nullptr, &dialogs, [] { return true; }, {}});
    form->show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_LE((boxCentre - form->geometry().center()).manhattanLength(), 2);
    EXPECT_EQ(form->MainCtrl(), nullptr) << "the window closed";
    EXPECT_TRUE(fs.File(kListPath).has_value()) << "and saved the list";
}

TEST_F(MainFormTest, AHiddenWindowClosedFromOutsideSavesToo) {
    auto form = MakeForm();
    emit form->TrayIcon->activated(QSystemTrayIcon::Trigger);
    ASSERT_FALSE(form->isVisible());
    fs.RemoveFile(kListPath);
    form->close();
    EXPECT_EQ(form->MainCtrl(), nullptr);
    EXPECT_TRUE(fs.File(kListPath).has_value());
}

TEST_F(MainFormTest, ACloseWhileAnActionWaitsInADialogWaitsForTheAction) {
    auto form = MakeForm();
    QSignalSpy closed(form.get(), &TMForm::Closed);
    dialogs.AnswerOK([&](TStrItem& item) {
        form->close(); // a termination signal arriving while the dialog is open
        EXPECT_NE(form->MainCtrl(), nullptr);
        item.FStr = "added meanwhile";
    });
    form->SpeedButton4->click();
    EXPECT_EQ(closed.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(form->MainCtrl(), nullptr);
    EXPECT_NE(fs.File(kListPath)->find(EncodeBase64("added meanwhile")), std::string::npos);
}

TEST_F(MainFormTest, SessionEndSavesAndKeepsTheWindowWorking) {
    auto form = MakeForm();
    fs.RemoveFile(kListPath);
    form->SaveForSessionEnd();
    EXPECT_TRUE(fs.File(kListPath).has_value());
    EXPECT_TRUE(fs.File(kConfigPath).has_value());
    ASSERT_NE(form->MainCtrl(), nullptr);
    EXPECT_EQ(form->VT->model()->rowCount(), 3);
}

// Run under Xvfb and openbox by tests/e2e/placement_test.sh.
TEST_F(MainFormTest, UnderAWindowManagerTheFramesAreCentred) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server with a window manager";
    }
    auto form = MakeForm();
    TConfig config(fs);
    TFMAbout about(form.get());
    TFMConfig settings(config, form.get());
    for (QWidget* window : std::initializer_list<QWidget*>{form.get(), &about, &settings}) {
        window->show();
        const QPoint centre = window->screen()->availableGeometry().center();
        // The frame as the window system tells it: a widget's frame geometry can lag behind it.
        QWindow* const handle = window->windowHandle();
        const auto frame = [&] {
            return QRect(handle->framePosition(), window->size().grownBy(handle->frameMargins()));
        };
        const auto centred = [&] {
            return !handle->frameMargins().isNull() && (frame().center() - centre).manhattanLength() <= 2;
        };
        EXPECT_TRUE(QTest::qWaitFor(centred, 20000))
            << window->objectName().toStdString() << " frame " << frame().x() << "," << frame().y() << " "
            << frame().width() << "x" << frame().height() << " centre " << centre.x() << "," << centre.y();
    }
}

} // namespace
} // namespace velmora
