#pragma once

#include "core/AutostartEntry.h"
#include "core/Config.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace velmora {

/// Where the login entry is written and which program it starts.
struct TAutostartPlace {
    std::string path;       ///< the entry's file
    std::string executable; ///< the program's absolute path
};

/// The settings dialog: shows the two flags of the settings file as two radio buttons, whether Velmora starts at
/// login (and then in the tray) and the picker's hotkey, and stores the choice on OK.
class TFMConfig : public QDialog {
    Q_OBJECT
public:
    /// Shows a problem to the user (a message box titled "Warning" unless told otherwise).
    using TWarnFn = std::function<void(const std::string& text)>;

    /// Works on `config` (the controller's Config()) and on the login entry at `autostart` (none: the login check
    /// boxes are disabled); `warn` reports a flag or an entry that cannot be read when shown.
    explicit TFMConfig(TConfig& config, QWidget* parent = nullptr, TWarnFn warn = {},
                       std::optional<TAutostartPlace> autostart = std::nullopt);
    TFMConfig(const TFMConfig&) = delete;
    TFMConfig& operator=(const TFMConfig&) = delete;

    /// Sets the radio buttons from the settings and the login check boxes from the entry on disk; throws
    /// ConversionError at the first flag that cannot be read, FileError when the entry cannot be read.
    void LoadOptions();
    /// Copies the radio buttons into the settings (in memory; the file is written at shutdown) and writes or removes
    /// the login entry; throws FileError when it cannot.
    void StoreOptions();

    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* rbMinimize = nullptr;
    QRadioButton* rbStayontop = nullptr;
    QCheckBox* cbAutostart = nullptr;
    QCheckBox* cbAutostartTray = nullptr;
    QLabel* lblPicker = nullptr;
    QCheckBox* cbPickCtrl = nullptr;
    QCheckBox* cbPickAlt = nullptr;
    QCheckBox* cbPickShift = nullptr;
    QComboBox* cbPickKey = nullptr;

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
    /// Builds the login check boxes below the buttons and widens the dialog to their captions.
    void BuildAutostart();
    /// Builds the picker's hotkey controls below the login check boxes.
    void BuildPicker();

    TConfig& FConfig;
    TWarnFn FWarn;
    QButtonGroup* FGroup = nullptr;
    std::optional<TAutostartPlace> FAutostart;
};

} // namespace velmora
