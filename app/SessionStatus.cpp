#include "SessionStatus.h"

#include "ui/MainForm.h"

#include <QCoreApplication>
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
