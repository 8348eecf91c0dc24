#include "MainForm.h"

#include "About.h"
#include "ItemListModel.h"
#include "ItemListView.h"
#include "Links.h"
#include "Picker.h"
#include "Placement.h"
#include "QtControllerDialogs.h"
#include "QtUserAnswers.h"
#include "StartupAnswers.h"
#include "TrayClicks.h"

#include "core/Version.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>

#include <iostream>
#include <stdexcept>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kTrayTip = "Velmora";

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

TMForm::TMForm(TMFormServices services, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FServices(std::move(services)), FRows(std::make_unique<TRowList>()), XMLDoc(CreateXmlDocument()),
      FModel(std::make_unique<TItemListModel>(*FRows)) {
    setObjectName("MForm");
    if (!FServices.trayAvailable) {
        FServices.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    }
    if (FServices.answers != nullptr) {
        FAnswers = FServices.answers;
    } else {
        FQtAnswers = std::make_unique<TQtUserAnswers>(this);
        FAnswers = FQtAnswers.get();
    }
    FStartupAnswers = std::make_unique<TStartupAnswers>(*FAnswers);
    if (FServices.dialogs != nullptr) {
        FDialogs = FServices.dialogs;
    } else {
        FQtDialogs = std::make_unique<TQtControllerDialogs>(*FAnswers, this);
        FDialogs = FQtDialogs.get();
    }
    BuildControls();
    FormCreate();
}

TMForm::~TMForm() {
    FormClose();
    // The view shows the model and the model observes the rows: the view goes first, the rows last.
    delete VT;
    VT = nullptr;
}

void TMForm::BuildControls() {
    setWindowIcon(ApplicationIcon());
    QFont formFont = font();
    formFont.setPixelSize(11);
    setFont(formFont);

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName("MainMenu");
    MainMenu->setNativeMenuBar(false);
    m1 = MainMenu->addAction("About");
    m1->setObjectName("m1");
    m2 = MainMenu->addAction("Help");
    m2->setObjectName("m2");
    m3 = MainMenu->addAction(QString::fromUtf8("Settings\u2026"));
    m3->setObjectName("m3");
    setMenuBar(MainMenu);
    connect(m1, &QAction::triggered, this, &TMForm::m1Click);
    connect(m2, &QAction::triggered, this, &TMForm::m2Click);
    connect(m3, &QAction::triggered, this, &TMForm::m3Click);

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Panel1 = new QFrame(client);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(9, 62, 537, 267);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);

    VT = new TItemListView(*FModel, Panel1);
    VT->setObjectName("VT");
    VT->setGeometry(2, 2, 533, 263);
    connect(VT, &TItemListView::EditRequested, this, &TMForm::VTDblClick);

    SpeedButton4 = AddSpeedButton("SpeedButton4", "&New", "Create a new Action", 12, 7, 46, 38);
    SpeedButton5 = AddSpeedButton("SpeedButton5", "&Edit", "Edit Selected Action", 63, 7, 46, 38);
    SpeedButton7 = AddSpeedButton("SpeedButton7", "&Delete", "Delete Selected Action", 114, 7, 46, 38);
    SpeedButton6 = AddSpeedButton("SpeedButton6", "&Load", "Load an Action List from a File", 166, 7, 46, 38);
    SpeedButton2 = AddSpeedButton("SpeedButton2", "&Save", "Save the Action List to a File", 217, 7, 46, 38);
    QuitButton = AddSpeedButton("QuitButton", "E&xit", "Quit", 269, 7, 46, 38);
    btnStart = AddSpeedButton("btnStart", "Star&t", "Start to Run Action List", 435, 0, 62, 58);
    btnStop = AddSpeedButton("btnStop", "Sto&p", "Stop Running Action List", 435, 0, 62, 58);
    for (const auto& [button, picture] : {std::pair{btnStart, ":/icons/start.png"}, {btnStop, ":/icons/stop.png"}}) {
        button->setIcon(QIcon(picture));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
    }

    connect(SpeedButton4, &QToolButton::clicked, this, &TMForm::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TMForm::SpeedButton5Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TMForm::SpeedButton7Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TMForm::SpeedButton6Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TMForm::SpeedButton2Click);
    connect(QuitButton, &QToolButton::clicked, this, &TMForm::QuitButtonClick);
    connect(btnStart, &QToolButton::clicked, this, &TMForm::btnStartClick);
    connect(btnStop, &QToolButton::clicked, this, &TMForm::btnStopClick);
}

QToolButton* TMForm::AddSpeedButton(const char* name, const char* caption, const char* hint, int left, int top,
                                    int width, int height) {
    auto* button = new QToolButton(centralWidget());
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    button->setGeometry(left, top, width, height);
    return button;
}

void TMForm::FormCreate() {
    TrayIcon = new QSystemTrayIcon(windowIcon(), this);
    TrayIcon->setObjectName("TrayIcon");
    TrayIcon->setToolTip(kTrayTip);
    connect(new TTrayClicks(*TrayIcon, this), &TTrayClicks::Clicked, this, &TMForm::ToggleVisible);
    TrayIcon->show();

    Guard([this] {
        FMainCtrl = std::make_unique<TMainCtrl>(*FRows, *XMLDoc,
                                                TControllerServices{FServices.fs, *FStartupAnswers, *FDialogs,
                                                                    FServices.hotkeys, FServices.typist,
                                                                    FServices.hotkeysNoted});
        VT->AttachController(*FMainCtrl);
        FPicker = std::make_unique<TPicker>(*FMainCtrl, FServices.focus != nullptr ? *FServices.focus : FOwnFocus,
                                            [this](const std::string& text) {
                                                std::cerr << "velmora: " << text << std::endl;
                                                ShowStatus(QString::fromStdString(text));
                                            });
        FMainCtrl->HotKeys().SetPickerOpener([this] { FPicker->Open(); });
    });

    setWindowTitle(kNameAndVersion);
    btnStart->setVisible(true);
    btnStop->setVisible(false);
}

void TMForm::FormClose() {
    if (FClosed) {
        return;
    }
    FClosed = true;
    if (TrayIcon != nullptr) {
        TrayIcon->hide();
    }
    // What the end has to say goes out at once, also if the window was never shown.
    FStartupAnswers->Release();
    if (FMainCtrl) {
        FMainCtrl->Shutdown(FEndBySystem);
        VT->DetachController();
        FMainCtrl->HotKeys().SetPickerOpener({});
        FPicker.reset();
        FMainCtrl.reset();
    }
    emit Closed();
}

void TMForm::AppException(const std::exception& error) {
    try {
        FAnswers->Warn(error.what());
    } catch (...) {
        // Nothing is left to show the error with.
    }
}

void TMForm::Guard(const std::function<void()>& action) {
    ++FHandlerDepth;
    try {
        action();
    } catch (const std::exception& error) {
        AppException(error);
    } catch (...) {
        AppException(std::runtime_error("An unknown error stopped the action."));
    }
    --FHandlerDepth;
    if (FHandlerDepth == 0 && FCloseRequested) {
        FCloseRequested = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TMForm::CloseModalDialogs() {
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        modal->close();
        if (QApplication::activeModalWidget() == modal) {
            return;
        }
    }
}

void TMForm::ShowStartupWarnings() {
    Guard([this] {
        for (const auto& [notice, text] : FStartupAnswers->Release()) {
            // A close that came meanwhile (a signal) closed the box; the window is going, the rest stays unsaid.
            if (FCloseRequested || FClosed) {
                return;
            }
            if (notice) {
                FAnswers->Notice(text);
            } else {
                FAnswers->Warn(text);
            }
        }
        if (FMainCtrl && !FCloseRequested) {
            FMainCtrl->TellRecoveryNotice();
        }
    });
}

void TMForm::SpeedButton4Click() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->NewItem();
        }
    });
}

void TMForm::SpeedButton5Click() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->EditSelected();
        }
    });
}

void TMForm::SpeedButton7Click() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->DeleteSelected();
        }
    });
}

void TMForm::SpeedButton6Click() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->LoadList(true);
        }
    });
}

void TMForm::SpeedButton2Click() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->SaveList(true);
        }
    });
}

void TMForm::QuitButtonClick() {
    close();
}

void TMForm::btnStartClick() {
    FWarnedOfTyping = false;
    btnStart->setVisible(false);
    btnStop->setVisible(true);
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->Start();
        }
    });
}

void TMForm::btnStopClick() {
    btnStart->setVisible(true);
    btnStop->setVisible(false);
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->Stop();
        }
    });
}

void TMForm::m1Click() {
    Guard([this] {
        TFMAbout about(this, QString::fromStdString(FServices.fs.ExecutableDir()));
        about.exec();
    });
}

void TMForm::m2Click() {
    Guard([] { OpenWebSite(); });
}

void TMForm::m3Click() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->ShowSettings();
        }
    });
}

void TMForm::StartInTray() {
    btnStartClick();
    if (!TrayUsable()) {
        showMinimized();
    }
}

void TMForm::VTDblClick() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->EditSelected();
        }
    });
}

void TMForm::ShowStatus(const QString& text) {
    if (FStatusLine == nullptr) {
        FStatusLine = new QLabel;
        FStatusLine->setObjectName("SessionStatus");
        FStatusLine->setWordWrap(true);
        FStatusLine->setTextInteractionFlags(Qt::TextSelectableByMouse); // a command can be copied from it
        FStatusLine->setFixedWidth(kClientWidth - 8);
        statusBar()->setSizeGripEnabled(false);
        statusBar()->addWidget(FStatusLine, 1);
    }
    FStatusLine->setText(text);
}

void TMForm::AddTrayNote(const QString& text) {
    if (TrayIcon != nullptr) {
        TrayIcon->setToolTip(TrayIcon->toolTip() + "\n" + text);
    }
}

void TMForm::ShowTypingProblem(const QString& text) {
    ShowStatus(text);
    if (std::exchange(FWarnedOfTyping, true)) {
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, "Warning", text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->show();
}

void TMForm::ToggleVisible() {
    if (isVisible() && !isMinimized()) {
        hide();
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

bool TMForm::TrayUsable() const {
    return TrayIcon != nullptr && TrayIcon->isVisible() && FServices.trayAvailable();
}

void TMForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayUsable()) {
        // Leave the state change's handling first; then the window leaves the screen and the taskbar, and the tray
        // icon is the way back. Without a tray the window simply stays minimised.
        QMetaObject::invokeMethod(this, &TMForm::HideIntoTray, Qt::QueuedConnection);
    }
}

void TMForm::HideIntoTray() {
    if (!isMinimized()) {
        return;
    }
    // The minimised state stays until the tray icon shows the window again (showNormal): clearing it on a hidden
    // window would map it again on X11.
    hide();
}

void TMForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FPlaced && !event->spontaneous()) {
        FPlaced = true;
        CentreOnDesktop(*this);
        // The window's position is known now, so the boxes can open over it.
        QMetaObject::invokeMethod(this, &TMForm::ShowStartupWarnings, Qt::QueuedConnection);
    }
}

void TMForm::closeEvent(QCloseEvent* event) {
    if (FHandlerDepth > 0) {
        // A close that arrives while an action waits in a dialog (a signal, the session's end) must not pull the
        // controller from under it: the dialogs are closed, the action ends, and then the window closes.
        FCloseRequested = true;
        event->ignore();
        CloseModalDialogs();
        return;
    }
    FormClose();
    event->accept();
}

void TMForm::SaveForSessionEnd() {
    Guard([this] {
        if (FMainCtrl) {
            FMainCtrl->Shutdown(true);
        }
    });
}

void TMForm::EndBySystem() {
    FEndBySystem = true;
    if (FClosed && FMainCtrl) {
        // The user's Exit waits in a question about a list that could not be saved; the end cancels it, so the
        // list is kept now.
        FMainCtrl->Shutdown(true);
    }
    close();
}

} // namespace velmora
