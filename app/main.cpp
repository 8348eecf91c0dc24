// The program entry: the backends of the desktop session, the application object, the main window and the message
// loop; or, with --type-row N, the request that makes the running copy type row N.
//
// The main window owns the one controller (TMForm::MainCtrl) from its creation to its close; the program keeps no
// global reference to it.

#include "core/PosixFileSystem.h"
#include "core/ProgramFolders.h"
#include "core/TextCodec.h"
#include "core/Version.h"
#include "platform/NotingHotkeyService.h"
#include "platform/PlatformError.h"
#include "ui/Application.h"
#include "ui/MainForm.h"
#include "ui/SignalWatcher.h"

#include "CodePageOption.h"
#include "HotkeyPump.h"
#include "InstanceLock.h"
#include "RowCommand.h"
#include "RowCommandServer.h"
#include "SessionBackends.h"
#include "SessionStatus.h"

#include <QLockFile>
#include <QMessageBox>
#include <QPointer>
#include <QSessionManager>
#include <QString>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

int main(int argc, char** argv) {
    using namespace velmora;

    // "velmora --type-row N", bound to a desktop shortcut: the running copy types row N; this process only asks.
    if (argc >= 2 && std::string(argv[1]) == kTypeRowOption) {
        const std::optional<std::size_t> row = argc == 3 ? ParseRowNumber(argv[2]) : std::nullopt;
        if (!row) {
            std::cerr << "usage: velmora --type-row N   (N: the row's No. in Velmora's list)" << std::endl;
            return 2;
        }
        return SendRowRequest(RowCommandSocketPath(), *row);
    }

    // Texts that are not UTF-8 (lists from Windows) are read, shown and typed in this code page.
    try {
        SetLegacyCodePage(ChooseLegacyCodePage(argc, argv));
    } catch (const std::invalid_argument& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 2;
    }

    // In a Wayland session the window stays on XWayland where there is one; the hotkeys and the typing take the
    // Wayland ways the desktop offers (TSessionBackends).
    const bool wayland = IsWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"));
    if (wayland && IsSet("DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    if (!wayland && !IsSet("DISPLAY")) {
        std::cerr << "velmora: no X display: DISPLAY is not set; start Velmora inside an X11 session (or XWayland)."
                  << std::endl;
        return 1;
    }
    std::unique_ptr<TSessionBackends> backends;
    try {
        backends = std::make_unique<TSessionBackends>(RowCommandLine());
    } catch (const PlatformError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 1;
    }

    TApplication app(argc, argv);
    app.setDesktopFileName(kAppId);
    // From here on a termination signal ends the program in order, also while a message box of the start-up is
    // open: once the main window exists, it closes as Exit does, so the list and the settings are saved, but nobody
    // is asked anything (the system is waiting for the program to end).
    TSignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP});
    QPointer<TMForm> mainWindow;
    QObject::connect(&signalWatcher, &TSignalWatcher::Received, &app, [&mainWindow, &app](int) {
        if (mainWindow) {
            mainWindow->EndBySystem();
        }
        app.quit();
    });
    // Hotkeys through the desktop's shortcut portal need the application object; the app id is the desktop file's.
    try {
        backends->Open(kAppId);
    } catch (const PlatformError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 1;
    }
    // The program ends when the main window closes (Closed below), not when the last visible window goes: a message
    // box closed while the main window sits in the tray must not end it.
    app.setQuitOnLastWindowClosed(false);

    // Where the list and the settings live, decided once: beside a portable copy, in the user's folders for an
    // installed one.
    TProgramFolders folders;
    try {
        TPosixFileSystem programFs;
        folders = ChooseProgramFolders(programFs, TFolderEnvironment::FromProcess());
    } catch (const FileError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        QMessageBox::critical(nullptr, "Error", QString::fromStdString(error.what()));
        return 1;
    }
    TPosixFileSystem fs(folders.files);
    // One copy per folder: two copies would each write the list at exit, the later one over the other's edits.
    QLockFile instanceLock(QString::fromStdString(folders.lock + "/velmora.lock"));
    if (!TakeInstanceLock(instanceLock, std::cerr)) {
        const std::string message =
            "Velmora is already running with the files in " + folders.files + ". Use that copy; this one ends now.";
        std::cerr << "velmora: " << message << std::endl;
        QMessageBox::warning(nullptr, "Warning", QString::fromStdString(message));
        return 1;
    }

    // Row requests from desktop shortcuts ("velmora --type-row N"), answered once the window exists.
    TRowCommandServer rowCommands(RowCommandSocketPath(), [&mainWindow, &backends](const std::string& request) {
        TMainCtrl* ctrl = mainWindow ? mainWindow->MainCtrl() : nullptr;
        return AnswerRowRequest(request, ctrl != nullptr ? &ctrl->Rows() : nullptr,
                                ctrl != nullptr ? &ctrl->HotKeys() : nullptr, backends->Typist());
    });
    // What works in this session, and a row server that cannot listen, stay in the status line.
    std::string sessionNote = backends->Choice().note;
    if (!rowCommands.Listening()) {
        const std::string problem =
            std::string("\"") + kTypeRowOption + "\" will not reach this copy: " + rowCommands.ErrorText();
        std::cerr << "velmora: " << problem << std::endl;
        sessionNote += (sessionNote.empty() ? "" : "\n") + problem;
    }

    // After each Start the status line says which rows' hotkeys are not in force, why, and what to do instead.
    TMForm* noteForm = nullptr;
    TNotingHotkeyService hotkeys(backends->Hotkeys(), RowCommandLine(),
                                 backends->Choice().note.find(kTypeRowOption) != std::string::npos,
                                 [&noteForm, sessionNote](const std::string& note) {
                                     if (!note.empty()) {
                                         std::cerr << "velmora: " << note << std::endl;
                                     }
                                     if (noteForm != nullptr) {
                                         ShowStartNote(*noteForm, sessionNote, note);
                                     }
                                 });
    TMForm form(TMFormServices{fs, hotkeys, backends->Typist(), nullptr, nullptr, {}});
    noteForm = &form;
    mainWindow = &form;
    app.SetExceptionHandler([&form](const std::exception& error) { form.AppException(error); });

    QObject::connect(&form, &TMForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.SaveForSessionEnd(); });

    // Hotkey presses that arrive on the backend's own connection.
    std::unique_ptr<THotkeyPump> hotkeyPump;
    if (IEventSource* events = backends->Events()) {
        hotkeyPump = std::make_unique<THotkeyPump>(*events, form);
    }

    ShowSessionNote(form, sessionNote);
    // What a typist could not type (characters no key can carry, a layout that lacks them, no keyboard) is shown.
    ReportTypingProblems(form, backends->Typist(),
                         [&backends] { return !backends->Typist().WaitUntilIdle(std::chrono::milliseconds(0)); });

    form.show();
    const int result = app.exec();
    backends->Typist().SetProblemHandler({});
    app.SetExceptionHandler({});
    return result;
}
