// The program entry: the backends of the desktop session, the application object, the main window and the message
// loop; or, with --type-row N, --hotkey ID or --pick, the request that makes the running copy type or pick.
//
// The main window owns the one controller (TMForm::MainCtrl) from its creation to its close; the program keeps no
// global reference to it.

#include "core/AutostartEntry.h"
#include "core/PosixFileSystem.h"
#include "core/ProgramFolders.h"
#include "core/TextCodec.h"
#include "core/Version.h"
#include "platform/HotkeyNote.h"
#include "platform/PlatformError.h"
#include "ui/Application.h"
#include "ui/MainForm.h"
#include "ui/SignalWatcher.h"

#include "CodePageOption.h"
#include "HotkeyPump.h"
#include "InstanceLock.h"
#include "LeftoverShortcuts.h"
#include "RowCommand.h"
#include "RowCommandServer.h"
#include "SessionBackends.h"
#include "SessionStatus.h"

#include <QLockFile>
#include <QMessageBox>
#include <QPointer>
#include <QSessionManager>
#include <QString>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {
namespace {

/// Where the list and the settings live, decided once: beside a portable copy, in the user's folders for an
/// installed one. None when that cannot be decided (the user is told why).
std::optional<TProgramFolders> ProgramFolders() {
    try {
        TPosixFileSystem programFs;
        return ChooseProgramFolders(programFs, TFolderEnvironment::FromProcess());
    } catch (const FileError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        QMessageBox::critical(nullptr, "Error", QString::fromStdString(error.what()));
        return std::nullopt;
    }
}

/// One copy per folder: two copies would each write the list at exit, the later one over the other's edits. False
/// (the user told) when another copy holds the lock.
bool TakeFolderLock(QLockFile& lock, const TProgramFolders& folders) {
    if (TakeInstanceLock(lock, std::cerr)) {
        return true;
    }
    const std::string message =
        "Velmora is already running with the files in " + folders.files + ". Use that copy; this one ends now.";
    std::cerr << "velmora: " << message << std::endl;
    QMessageBox::warning(nullptr, "Warning", QString::fromStdString(message));
    return false;
}

/// What works in this session, and a row server that cannot listen: the first line of the status line for good.
std::string SessionNote(const TBackendChoice& choice, const TRowCommandServer& rowCommands) {
    std::string note = choice.note;
    if (!rowCommands.Listening()) {
        const std::string problem =
            std::string("\"") + kTypeRowOption + "\" will not reach this copy: " + rowCommands.ErrorText();
        std::cerr << "velmora: " << problem << std::endl;
        note += (note.empty() ? "" : "\n") + problem;
    }
    return note;
}

/// After each Start, and each time the desktop settles rows: the status line says which rows' hotkeys are not in
/// force, why, and what to do instead.
std::function<void(const THotKeys&)> HotkeyNoteHandler(const QPointer<TMForm>& mainWindow, std::string sessionNote,
                                                       bool hintShown) {
    return [&mainWindow, sessionNote = std::move(sessionNote), rowCommand = RowCommandLine(),
            hintShown](const THotKeys& hotkeys) {
        std::string note = HotkeyNote(hotkeys.Entries(), rowCommand, hintShown);
        if (const std::string picker = PickerNote(hotkeys, PickCommand(ExecutablePath())); !picker.empty()) {
            note += (note.empty() ? "" : "\n") + picker;
        }
        if (!note.empty()) {
            std::cerr << "velmora: " << note << std::endl;
        }
        if (mainWindow) {
            ShowStartNote(*mainWindow, sessionNote, note);
        }
    };
}

/// The main window of this copy (its files in `folders`, its lock held) until it closes.
int RunMainWindow(TApplication& app, QPointer<TMForm>& mainWindow, TSessionBackends& backends,
                  const TProgramFolders& folders, bool autostart) {
    const std::string copyTag = ThisCopyTag(folders.files);
    // Requests from desktop shortcuts ("velmora --type-row N", "velmora --hotkey ID") of this list, answered once
    // the window exists. Listening also tells the other copies that this one runs.
    TRowCommandServer rowCommands(RowCommandSocketPath(copyTag), [&mainWindow](const std::string& request) {
        TMainCtrl* ctrl = mainWindow ? mainWindow->MainCtrl() : nullptr;
        return AnswerRowRequest(request, ctrl != nullptr ? &ctrl->Rows() : nullptr,
                                ctrl != nullptr ? &ctrl->HotKeys() : nullptr);
    });
    // Shortcuts that killed copies left with the desktop, whichever way this copy binds its own.
    RemoveLeftoverShortcuts(kAppId, copyTag);

    // Hotkeys through the desktop's shortcut portal need the application object; the app id is the desktop file's.
    try {
        backends.Open(kAppId, copyTag);
    } catch (const PlatformError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 1;
    }
    const std::string sessionNote = SessionNote(backends.Choice(), rowCommands);
    TPosixFileSystem fs(folders.files);
    TMForm form(TMFormServices{fs,
                               backends.Hotkeys(),
                               backends.Typist(),
                               nullptr,
                               nullptr,
                               {},
                               HotkeyNoteHandler(mainWindow, sessionNote, backends.Choice().rowCommandNoted),
                               &backends.Focus()});
    mainWindow = &form;
    app.SetExceptionHandler([&form](const std::exception& error) { form.AppException(error); });
    QObject::connect(&form, &TMForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.SaveForSessionEnd(); });

    // Hotkey presses that arrive on the backend's own connection.
    std::unique_ptr<THotkeyPump> hotkeyPump;
    if (IEventSource* events = backends.Events()) {
        hotkeyPump = std::make_unique<THotkeyPump>(*events, form);
    }
    ShowSessionNote(form, sessionNote);
    // What a typist could not type (characters no key can carry, a layout that lacks them, no keyboard) is shown.
    ReportTypingProblems(form, backends.Typist(),
                         [&backends] { return !backends.Typist().WaitUntilIdle(std::chrono::milliseconds(0)); });
    // Started at login by the autostart entry: Start pressed, the window in the tray.
    if (autostart) {
        form.StartInTray();
    } else {
        form.show();
    }
    const int result = app.exec();
    backends.Typist().SetProblemHandler({});
    app.SetExceptionHandler({});
    return result;
}

/// The main window's program: the session's backends, the application, this copy's files and lock, the window.
int RunWindow(int argc, char** argv) {
    // Texts that are not UTF-8 (lists from Windows) are read, shown and typed in this code page.
    try {
        SetLegacyCodePage(ChooseLegacyCodePage(argc, argv));
    } catch (const std::invalid_argument& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 2;
    }
    std::unique_ptr<TSessionBackends> backends;
    try {
        backends = std::make_unique<TSessionBackends>(RowCommandLine());
    } catch (const PlatformError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 1;
    }
    const bool autostart =
        std::any_of(argv + 1, argv + argc, [](const char* arg) { return std::string_view(arg) == kAutostartOption; });

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
    // The program ends when the main window closes (Closed), not when the last visible window goes: a message box
    // closed while the main window sits in the tray must not end it.
    app.setQuitOnLastWindowClosed(false);

    // The lock comes before anything that could touch what another copy keeps: a second copy of the same list ends
    // here, having changed nothing.
    const std::optional<TProgramFolders> folders = ProgramFolders();
    if (!folders) {
        return 1;
    }
    QLockFile instanceLock(QString::fromStdString(folders->lock + "/velmora.lock"));
    if (!TakeFolderLock(instanceLock, *folders)) {
        return 1;
    }
    return RunMainWindow(app, mainWindow, *backends, *folders, autostart);
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    // "velmora --type-row N" or "velmora --hotkey ID", bound to a desktop shortcut: the running copy types; this
    // process only asks.
    if (argc >= 2 && velmora::IsRowCommand(argv[1])) {
        return velmora::RunRowCommand(argc, argv);
    }
    return velmora::RunWindow(argc, argv);
}
