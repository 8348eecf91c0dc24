#pragma once

#include "ControllerDialogs.h"
#include "core/UserAnswers.h"

#include <QPointer>
#include <QWidget>

namespace velmora {

/// The controller's dialogs as Qt forms: the definition dialog TDefineForm and the settings dialog TFMConfig,
/// each created for one modal showing.
class TQtControllerDialogs final : public IControllerDialogs {
public:
    /// Dialogs open over `parent`; problems the settings dialog meets are told through `answers`.
    explicit TQtControllerDialogs(IUserAnswers& answers, QWidget* parent = nullptr);

    /// The window the dialogs open over.
    void SetParent(QWidget* parent) { FParent = parent; }

    bool DefineItem(const std::string& caption, bool showItem, TStrItem& item) override;
    void ShowSettings(TConfig& config) override;

private:
    IUserAnswers& FAnswers;
    QPointer<QWidget> FParent;
};

} // namespace velmora
