#include "QtUserAnswers.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace velmora {
namespace {

const QString kWarningTitle = QStringLiteral("Warning");

/// Makes a dialog with a parent modal to that window only, so that the tray icon still answers while it is open.
void KeepTrayAnswering(QDialog& dialog, const QWidget* parent) {
    if (parent != nullptr) {
        dialog.setWindowModality(Qt::WindowModal);
    }
}

} // namespace

TQtUserAnswers::TQtUserAnswers(QWidget* parent) : FParent(parent) {}

QString TQtUserAnswers::QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            patterns.append(trimmed);
            if (trimmed.toLower() != trimmed) {
                patterns.append(trimmed.toLower());
            }
        }
        filters.append(parts.at(i).trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

std::string TQtUserAnswers::PickFile(bool save, const std::string& defaultExt, const std::string& filter,
                                     const std::string& initialName) {
    QFileDialog dialog(FParent, save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    KeepTrayAnswering(dialog, FParent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The list-file procedures check for an existing file and ask before overwriting themselves.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (save) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    }
    QString suffix = QString::fromStdString(defaultExt);
    if (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    dialog.setNameFilter(QtFilter(filter));
    if (!initialName.empty()) {
        dialog.selectFile(QString::fromStdString(initialName));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : files.first().toStdString();
}

std::string TQtUserAnswers::PickOpenFile(const std::string& defaultExt, const std::string& filter,
                                         const std::string& initialName) {
    return PickFile(false, defaultExt, filter, initialName);
}

std::string TQtUserAnswers::PickSaveFile(const std::string& defaultExt, const std::string& filter,
                                         const std::string& initialName) {
    return PickFile(true, defaultExt, filter, initialName);
}

void TQtUserAnswers::Warn(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, kWarningTitle, QString::fromStdString(text), QMessageBox::Ok, FParent);
    KeepTrayAnswering(box, FParent);
    box.exec();
}

void TQtUserAnswers::Notice(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kWarningTitle, QString::fromStdString(text), QMessageBox::Ok, FParent);
    KeepTrayAnswering(box, FParent);
    box.exec();
}

bool TQtUserAnswers::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kWarningTitle, QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, FParent);
    KeepTrayAnswering(box, FParent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

} // namespace velmora
