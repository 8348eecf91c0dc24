#include "QtControllerDialogs.h"

#include "DefineForm.h"
#include "FMConfig.h"

#include "core/AutostartFile.h"

#include <optional>
#include <utility>

namespace velmora {

TQtControllerDialogs::TQtControllerDialogs(IUserAnswers& answers, QWidget* parent)
    : FAnswers(answers), FParent(parent) {}

bool TQtControllerDialogs::DefineItem(const std::string& caption, bool showItem, TStrItem& item) {
    TDefineForm form(FParent);
    form.setWindowTitle(QString::fromStdString(caption));
    if (showItem) {
        form.SetItem(item);
    }
    if (form.exec() != TDefineForm::kResultOK) {
        return false;
    }
    form.GetItem(item);
    return true;
}

void TQtControllerDialogs::ShowSettings(TConfig& config) {
    // Without a place for the login entry the dialog still shows the other settings.
    std::optional<TAutostartPlace> autostart;
    try {
        autostart = TAutostartPlace{AutostartEntryPath(TFolderEnvironment::FromProcess()), RunningExecutable()};
    } catch (const FileError& error) {
        FAnswers.Warn(error.what());
    }
    TFMConfig form(
        config, FParent, [this](const std::string& text) { FAnswers.Warn(text); }, std::move(autostart));
    form.exec();
}

} // namespace velmora
