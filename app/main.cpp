// The program entry: the X11 backend, the application object, the main window and the message loop.
//
// The main window owns the one controller (TMForm::MainCtrl) from its creation to its close; the program keeps no
// global reference to it.

#include "core/PosixFileSystem.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/MainForm.h"
#include "ui/SignalWatcher.h"

#include <QLockFile>
#include <QMessageBox>
#include <QSessionManager>
#include <QString>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

int main(int argc, char** argv) {
    using namespace velmora;

    // Hotkeys and typing need X11: in a Wayland session the program runs on XWayland.
    if (IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    if (!IsSet("DISPLAY")) {
        std::cerr << "velmora: no X display: DISPLAY is not set; start Velmora inside an X11 session (or XWayland)."
                  << std::endl;
        return 1;
    }
    std::unique_ptr<IPlatform> platform;
    try {
        platform = CreatePlatform();
    } catch (const PlatformError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
        return 1;
    }

    TApplication app(argc, argv);
    app.setDesktopFileName("velmora");
    // The program ends when the main window closes (Closed below), not when the last visible window goes: a message
    // box closed while the main window sits in the tray must not end it.
    app.setQuitOnLastWindowClosed(false);

    TPosixFileSystem fs;
    // One copy per folder: two copies would each write the list at exit, the later one over the other's edits.
    // A lock left by a copy that died is taken over (its process is gone).
    QLockFile instanceLock(QString::fromStdString(fs.ExecutableDir() + "/velmora.lock"));
    instanceLock.setStaleLockTime(0);
    if (!instanceLock.tryLock(0) && instanceLock.error() == QLockFile::LockFailedError) {
        const std::string message =
            "Velmora is already running from " + fs.ExecutableDir() + ". Use that copy; this one ends now.";
        std::cerr << "velmora: " << message << std::endl;
        QMessageBox::warning(nullptr, "Warning", QString::fromStdString(message));
        return 1;
    }

    TMForm form(TMFormServices{fs, platform->Hotkeys(), platform->Typist(), &platform->Events(), nullptr, nullptr, {}});
    app.SetExceptionHandler([&form](const std::exception& error) { form.AppException(error); });

    QObject::connect(&form, &TMForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.SaveForSessionEnd(); });

    // A termination signal closes the window as Exit does, so the list and the settings are saved, but nobody is
    // asked anything: the system is waiting for the program to end.
    TSignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&signalWatcher, &TSignalWatcher::Received, &form, [&form, &app](int) {
        form.EndBySystem();
        app.quit();
    });

    form.show();
    const int result = app.exec();
    app.SetExceptionHandler({});
    return result;
}
