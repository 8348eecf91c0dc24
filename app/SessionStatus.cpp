#include "SessionStatus.h"

#include "ui/MainForm.h"

#include <QLabel>
#include <QStatusBar>

namespace velmora {

void ShowSessionNote(TMForm& form, const std::string& note) {
    if (note.empty()) {
        return;
    }
    const QString text = QString::fromStdString(note);
    auto* line = new QLabel(text);
    line->setObjectName("SessionStatus");
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command can be copied from it
    line->setFixedWidth(TMForm::kClientWidth - 8);
    form.statusBar()->setSizeGripEnabled(false);
    form.statusBar()->addWidget(line, 1);
    if (form.TrayIcon != nullptr) {
        form.TrayIcon->setToolTip(form.TrayIcon->toolTip() + "\n" + text);
    }
}

} // namespace velmora
