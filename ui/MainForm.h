#pragma once

#include "ControllerDialogs.h"
#include "MainCtrl.h"

#include "core/FileSystem.h"
#include "core/RowList.h"
#include "core/UserAnswers.h"
#include "core/XmlDocument.h"
#include "platform/HotkeyService.h"
#include "platform/Typist.h"
#include "platform/WindowFocus.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <exception>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QMenuBar;
class QLabel;
class QToolButton;

namespace velmora {

class TItemListModel;
class TItemListView;
class TPicker;
class TQtControllerDialogs;
class TQtUserAnswers;
class TStartupAnswers;

/// What the main window and its controller work with. The optional parts default to the real thing.
struct TMFormServices {
    IFileSystem& fs;
    IHotkeyService& hotkeys;
    ITypist& typist;
    /// None: Qt file dialogs and message boxes over the main window.
    IUserAnswers* answers = nullptr;
    /// None: the Qt definition and settings dialogs.
    IControllerDialogs* dialogs = nullptr;
    /// Whether a notification area can show the tray icon; none: ask Qt.
    std::function<bool()> trayAvailable;
    /// Hears the hotkey registry after each Start and each settling (see TControllerServices); may be empty.
    std::function<void(const THotKeys&)> hotkeysNoted;
    /// Gives the focus back after the picker; none: the desktop gives it back by itself.
    IWindowFocus* focus = nullptr;
};

/// The main window: the buttons, the list, the menu bar and the tray icon. It owns the one controller (MainCtrl)
/// from its creation to its close, forwards every button to it and routes hotkey presses to it.
class TMForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 556;
    static constexpr int kClientHeight = 343;

    /// Builds the window and runs FormCreate (the controller loads the default list file).
    explicit TMForm(TMFormServices services, QWidget* parent = nullptr);
    /// Runs FormClose if no close did.
    ~TMForm() override;
    TMForm(const TMForm&) = delete;
    TMForm& operator=(const TMForm&) = delete;

    /// The controller; none before FormCreate succeeded and after FormClose.
    TMainCtrl* MainCtrl() const { return FMainCtrl.get(); }

    /// Shows an error that stopped an action in a "Warning" box.
    void AppException(const std::exception& error);
    /// Runs one action of a handler; an error that escapes it goes to AppException, and the action ends there.
    void Guard(const std::function<void()>& action);

    /// Started at login in the tray: presses Start and leaves the window hidden behind the tray icon (minimised
    /// where there is no tray).
    void StartInTray();
    /// Left click on the tray icon: hides a shown window, shows a hidden one.
    void ToggleVisible();
    /// The desktop session ends: saves the list and the settings as a close would, keeping the window, without
    /// asking anything (a list file that cannot be written is kept elsewhere, see TMainCtrl::Shutdown).
    void SaveForSessionEnd();
    /// The system ends the program (a termination signal): closes the window as Exit does, but without asking
    /// anything.
    void EndBySystem();

    /// Shows `text` in the status line at the foot of the window (made on first use).
    void ShowStatus(const QString& text);
    /// Adds a line to the tray icon's tooltip.
    void AddTrayNote(const QString& text);
    /// A text could not be typed whole: the reason goes into the status line, and the first reason since Start also
    /// into a "Warning" box that holds nothing and takes no focus from the application being typed into.
    void ShowTypingProblem(const QString& text);

    QFrame* Panel1 = nullptr;
    QToolButton* btnStart = nullptr;
    QToolButton* btnStop = nullptr;
    TItemListView* VT = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QToolButton* QuitButton = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QMenuBar* MainMenu = nullptr;
    QAction* m1 = nullptr;
    QAction* m2 = nullptr;
    QAction* m3 = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;

signals:
    /// FormClose has run: the program may end.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QToolButton* AddSpeedButton(const char* name, const char* caption, const char* hint, int left, int top, int width,
                                int height);

    /// Start-up: the tray icon, the controller, the caption, Start shown and Stop hidden.
    void FormCreate();
    /// Shutdown: the tray icon goes, the controller saves the list and the settings and is destroyed.
    void FormClose();

    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton7Click();
    void SpeedButton6Click();
    void SpeedButton2Click();
    void QuitButtonClick();
    void btnStartClick();
    void btnStopClick();
    void m1Click();
    void m2Click();
    /// Settings...: the settings dialog.
    void m3Click();
    void VTDblClick();
    /// The minimised window goes into the tray.
    void HideIntoTray();
    /// Whether the tray icon can be clicked.
    bool TrayUsable() const;
    /// Closes the open modal dialogs, so that the action waiting in them ends.
    void CloseModalDialogs();
    /// Once the window is shown: the warnings of the start-up over it, then where lists were kept.
    void ShowStartupWarnings();

    TMFormServices FServices;
    std::unique_ptr<TRowList> FRows;
    std::unique_ptr<IXmlDocument> XMLDoc;
    std::unique_ptr<TItemListModel> FModel;
    std::unique_ptr<TQtUserAnswers> FQtAnswers;
    std::unique_ptr<TQtControllerDialogs> FQtDialogs;
    IUserAnswers* FAnswers = nullptr;
    /// The controller's answers: its warnings wait until the window is shown.
    std::unique_ptr<TStartupAnswers> FStartupAnswers;
    IControllerDialogs* FDialogs = nullptr;
    std::unique_ptr<TMainCtrl> FMainCtrl;
    TDesktopGivesFocusBack FOwnFocus; ///< the focus where the services name none
    std::unique_ptr<TPicker> FPicker; ///< the picker of all rows, while there is a controller
    QLabel* FStatusLine = nullptr;
    bool FWarnedOfTyping = false; ///< a typing problem was shown in a box since the last Start
    bool FClosed = false;
    int FHandlerDepth = 0;        ///< actions running (an action may wait in a dialog's event loop)
    bool FCloseRequested = false; ///< a close arrived while an action was running
    bool FEndBySystem = false;    ///< the close is not the user's: nobody is asked anything
    bool FPlaced = false;
};

} // namespace velmora
