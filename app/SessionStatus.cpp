#include "SessionStatus.h"

#include "ui/MainForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <iostream>
#include <memory>

namespace velmora {

void ShowSessionNote(TMForm& form, const std::string& note) {
    if (note.empty()) {
        return;
    }
    std::cerr << "velmora: " << note << std::endl;
    const QString text = QString::fromStdString(note);
    form.ShowStatus(text);
    form.AddTrayNote(text);
}

void ShowStartNote(TMForm& form, const std::string& sessionNote, const std::string& startNote) {
    const std::string text =
        sessionNote.empty() || startNote.empty() ? sessionNote + startNote : sessionNote + " " + startNote;
    if (text.empty() && form.findChild<QLabel*>("SessionStatus") == nullptr) {
        return; // nothing to say, and nothing said before
    }
    form.ShowStatus(QString::fromStdString(text));
}

void ReportTypingProblems(TMForm& form, ITypist& typist, std::function<bool()> typing) {
    QPointer<TMForm> window(&form);
    // The latest problem, waiting on the GUI thread for the typing to end.
    auto* waiting = new QTimer(&form);
    waiting->setInterval(100);
    const auto latest = std::make_shared<QString>();
    const auto showWhenIdle = [window, waiting, latest, typing] {
        if (window.isNull()) {
            return;
        }
        if (typing && typing()) {
            waiting->start();
            return;
        }
        waiting->stop();
        window->ShowTypingProblem(*latest);
    };
    QObject::connect(waiting, &QTimer::timeout, &form, showWhenIdle);
    typist.SetProblemHandler([window, latest, showWhenIdle](const std::string& message) {
        std::cerr << "velmora: " << message << std::endl;
        // On the GUI thread, whichever thread the typist reports from.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [window, latest, showWhenIdle, text = QString::fromStdString(message)] {
                if (!window.isNull()) {
                    *latest = text;
                    window->ShowStatus(text);
                    showWhenIdle();
                }
            },
            Qt::QueuedConnection);
    });
}

} // namespace velmora
