#include "SessionStatus.h"

#include "ui/MainForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>

#include <iostream>
#include <memory>
#include <optional>
#include <utility>

namespace velmora {

namespace {

/// Runs `work` on the GUI thread, whichever thread calls.
void OnGuiThread(std::function<void()> work) {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
    }
}

/// The latest problem not yet shown in a box, waiting on the GUI thread until no text is being typed.
struct TWaitingProblem {
    QPointer<TMForm> window;
    std::function<bool()> typing;
    std::optional<QString> text;

    /// Shows the problem in a box unless a text is being typed.
    void ShowWhenIdle() {
        if (window.isNull() || !text) {
            return;
        }
        if (typing && typing()) {
            return; // the typist tells when it is idle
        }
        window->ShowTypingProblem(*std::exchange(text, std::nullopt));
    }
};

} // namespace

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
    const auto waiting = std::make_shared<TWaitingProblem>();
    waiting->window = &form;
    waiting->typing = std::move(typing);
    typist.SetIdleHandler([waiting] { OnGuiThread([waiting] { waiting->ShowWhenIdle(); }); });
    QObject::connect(&form, &QObject::destroyed, [&typist] { typist.SetIdleHandler({}); });
    typist.SetProblemHandler([waiting](const std::string& message) {
        std::cerr << "velmora: " << message << std::endl;
        OnGuiThread([waiting, text = QString::fromStdString(message)] {
            if (!waiting->window.isNull()) {
                waiting->text = text;
                waiting->window->ShowStatus(text);
                waiting->ShowWhenIdle();
            }
        });
    });
}

} // namespace velmora
