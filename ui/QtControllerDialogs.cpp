#include "QtControllerDialogs.h"

#include "DefineForm.h"
#include "FMConfig.h"

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
    TFMConfig form(config, FParent, [this](const std::string& text) { FAnswers.Warn(text); });
    form.exec();
}

} // namespace velmora
