#include "SessionStatus.h"

#include "ui/MainForm.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QStatusBar>

namespace velmora {

namespace {

/// The status line at the foot of the main window, made on first use.
QLabel* StatusLine(TMForm& form) {
    if (auto* line = form.findChild<QLabel*>("SessionStatus")) {
        return line;
    }
    auto* line = new QLabel;
    line->setObjectName("SessionStatus");
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command can be copied from it
    line->setFixedWidth(TMForm::kClientWidth - 8);
    form.statusBar()->setSizeGripEnabled(false);
    form.statusBar()->addWidget(line, 1);
    return line;
}

} // namespace

void ShowSessionNote(TMForm& form, const std::string& note) {
    if (note.empty()) {
        return;
    }
    const QString text = QString::fromStdString(note);
    StatusLine(form)->setText(text);
    if (form.TrayIcon != nullptr) {
        form.TrayIcon->setToolTip(form.TrayIcon->toolTip() + "\n" + text);
    }
}

void ShowStartNote(TMForm& form, const std::string& sessionNote, const std::string& startNote) {
    const std::string text =
        sessionNote.empty() || startNote.empty() ? sessionNote + startNote : sessionNote + " " + startNote;
    if (text.empty() && form.findChild<QLabel*>("SessionStatus") == nullptr) {
        return; // nothing to say, and nothing said before
    }
    StatusLine(form)->setText(QString::fromStdString(text));
}

void ReportTypingProblems(TMForm& form, ITypist& typist) {
    QPointer<TMForm> window(&form);
    typist.SetProblemHandler([window](const std::string& message) {
        // On the GUI thread, whichever thread the typist reports from.
        QMetaObject::invokeMethod(
            qApp,
            [window, text = QString::fromStdString(message)] {
                if (window.isNull()) {
                    return;
                }
                StatusLine(*window)->setText(text);
                auto* box = new QMessageBox(QMessageBox::Warning, "Warning", text, QMessageBox::Ok, window.data());
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->setWindowModality(Qt::NonModal);
                box->show();
            },
            Qt::QueuedConnection);
    });
}

} // namespace velmora
