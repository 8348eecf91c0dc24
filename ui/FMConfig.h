#pragma once

#include "core/Config.h"

#include <QDialog>

#include <functional>
#include <string>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace velmora {

/// The settings dialog: shows the two flags of the settings file as two radio buttons and stores the choice on OK.
class TFMConfig : public QDialog {
    Q_OBJECT
public:
    /// Shows a problem to the user (a message box titled "Warning" unless told otherwise).
    using TWarnFn = std::function<void(const std::string& text)>;

    /// Works on `config` (the controller's Config()); `warn` reports a flag that cannot be read when shown.
    explicit TFMConfig(TConfig& config, QWidget* parent = nullptr, TWarnFn warn = {});
    TFMConfig(const TFMConfig&) = delete;
    TFMConfig& operator=(const TFMConfig&) = delete;

    /// Sets the radio buttons from the settings; throws ConversionError at the first flag that cannot be read.
    void LoadOptions();
    /// Copies the radio buttons into the settings (in memory; the file is written at shutdown).
    void StoreOptions();

    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* rbMinimize = nullptr;
    QRadioButton* rbStayontop = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    /// Runs LoadOptions and reports its failure.
    void FormShow();
    /// OK: StoreOptions, then close with the OK result.
    void BitBtn1Click();
    /// Cancel: close without storing anything.
    void BitBtn2Click();
    /// Checks or unchecks one radio button the way the group does: checking one unchecks the other, and unchecking
    /// is allowed too, so that both may end up unchecked.
    void SetRadio(QRadioButton* button, bool checked);

    TConfig& FConfig;
    TWarnFn FWarn;
    QButtonGroup* FGroup = nullptr;
};

} // namespace velmora
