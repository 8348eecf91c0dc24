#include "SessionStatus.h"

#include "ui/MainForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>

namespace velmora {

void ShowSessionNote(TMForm& form, const std::string& note) {
    if (note.empty()) {
        return;
    }
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

void ReportTypingProblems(TMForm& form, ITypist& typist) {
    QPointer<TMForm> window(&form);
    typist.SetProblemHandler([window](const std::string& message) {
        // On the GUI thread, whichever thread the typist reports from.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [window, text = QString::fromStdString(message)] {
                if (!window.isNull()) {
                    window->ShowTypingProblem(text);
                }
            },
            Qt::QueuedConnection);
    });
}

} // namespace velmora
