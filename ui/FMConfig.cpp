#include "FMConfig.h"

#include "Placement.h"

#include "core/AutostartFile.h"
#include "core/KeyNames.h"
#include "platform/HotkeyChord.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <tuple>
#include <utility>

namespace velmora {

namespace {

/// The dialog's height with the login check boxes below the buttons and the picker's hotkey below them.
constexpr int kHeight = 247;

} // namespace

TFMConfig::TFMConfig(TConfig& config, QWidget* parent, TWarnFn warn, std::optional<TAutostartPlace> autostart)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FConfig(config), FWarn(std::move(warn)), FAutostart(std::move(autostart)) {
    setObjectName("FMConfig");
    setWindowTitle("Config Options");
    QFont formFont = font();
    formFont.setPixelSize(11);
    setFont(formFont);
    setFixedSize(211, kHeight);
    // Modal to the main window only, so that the tray icon still answers while the dialog is open.
    setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

    BitBtn1 = new QPushButton("&OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(41, 112, 75, 25);
    BitBtn1->setAutoDefault(false);

    BitBtn2 = new QPushButton("&Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(121, 112, 75, 25);
    BitBtn2->setAutoDefault(false);

    GroupBox2 = new QGroupBox("When Running Velmora ", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(10, 12, 191, 91);

    rbMinimize = new QRadioButton("Minimize Main Form", GroupBox2);
    rbMinimize->setObjectName("rbMinimize");
    rbMinimize->setGeometry(27, 27, 124, 17);

    rbStayontop = new QRadioButton("Main Form Stay on Top", GroupBox2);
    rbStayontop->setObjectName("rbStayontop");
    rbStayontop->setGeometry(27, 60, 146, 14);

    // The captions must not be cut where the font at hand is wider than the one the sizes were made for.
    for (QRadioButton* button : {rbMinimize, rbStayontop}) {
        const QSize hint = button->sizeHint();
        button->resize(std::max(button->width(), hint.width()), std::max(button->height(), hint.height()));
    }

    FGroup = new QButtonGroup(this);
    FGroup->addButton(rbMinimize);
    FGroup->addButton(rbStayontop);
    FGroup->setExclusive(true);

    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, rbMinimize);
    setTabOrder(rbMinimize, rbStayontop);
    BuildAutostart();
    BuildPicker();
    CentreOnDesktop(*this);

    connect(BitBtn1, &QPushButton::clicked, this, &TFMConfig::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFMConfig::BitBtn2Click);

    if (!FWarn) {
        FWarn = [this](const std::string& text) {
            QMessageBox::warning(this, "Warning", QString::fromStdString(text));
        };
    }
}

void TFMConfig::BuildAutostart() {
    cbAutostart = new QCheckBox("Start Velmora at login", this);
    cbAutostart->setObjectName("cbAutostart");
    cbAutostart->setGeometry(10, 149, 191, 17);
    cbAutostartTray = new QCheckBox("At login: press Start and stay in the tray", this);
    cbAutostartTray->setObjectName("cbAutostartTray");
    cbAutostartTray->setGeometry(26, 172, 175, 17);
    int right = width();
    for (QCheckBox* box : {cbAutostart, cbAutostartTray}) {
        box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
        right = std::max(right, box->geometry().right() + 11);
    }
    setFixedSize(right, kHeight);
    setTabOrder(rbStayontop, cbAutostart);
    setTabOrder(cbAutostart, cbAutostartTray);
    connect(cbAutostart, &QCheckBox::toggled, cbAutostartTray, &QCheckBox::setEnabled);
    cbAutostart->setEnabled(FAutostart.has_value());
    cbAutostartTray->setEnabled(false);
}

void TFMConfig::BuildPicker() {
    lblPicker = new QLabel("Picker of all rows (from the next Start):", this);
    lblPicker->setObjectName("lblPicker");
    lblPicker->setGeometry(10, 198, width() - 21, 17);
    int left = 10;
    QWidget* previous = cbAutostartTray;
    for (auto [box, name, caption] :
         {std::tuple{&cbPickCtrl, "cbPickCtrl", "CTRL"}, std::tuple{&cbPickAlt, "cbPickAlt", "ALT"},
          std::tuple{&cbPickShift, "cbPickShift", "SHIFT"}}) {
        *box = new QCheckBox(caption, this);
        (*box)->setObjectName(name);
        (*box)->setGeometry(left, 220, std::max(48, (*box)->sizeHint().width()), 17);
        left = (*box)->geometry().right() + 6;
        setTabOrder(previous, *box);
        previous = *box;
    }
    cbPickKey = new QComboBox(this);
    cbPickKey->setObjectName("cbPickKey");
    cbPickKey->addItem("Space", kSpaceKey);
    for (const KeyChoice& choice : KeyChoices()) {
        cbPickKey->addItem(choice.name, choice.code);
    }
    cbPickKey->setGeometry(left, 217, std::max(70, cbPickKey->sizeHint().width()), 22);
    setTabOrder(previous, cbPickKey);
    setFixedSize(std::max(width(), cbPickKey->geometry().right() + 11), kHeight);
}

void TFMConfig::SetRadio(QRadioButton* button, bool checked) {
    // An exclusive group refuses to uncheck its checked button; lift that for the moment of the change.
    FGroup->setExclusive(false);
    if (checked) {
        for (QAbstractButton* other : FGroup->buttons()) {
            other->setChecked(other == button);
        }
    } else {
        button->setChecked(false);
    }
    FGroup->setExclusive(true);
}

void TFMConfig::LoadOptions() {
    SetRadio(rbMinimize, FConfig.Running().Minimize());
    SetRadio(rbStayontop, FConfig.Running().Stayontop());
    const std::string pick = FConfig.Running().PickHotkey();
    const THotkeyChord chord = pick.empty() ? kDefaultPickerChord : ParseChordText(pick).value_or(kDefaultPickerChord);
    cbPickCtrl->setChecked((chord.modifiers & kModControl) != 0);
    cbPickAlt->setChecked((chord.modifiers & kModAlt) != 0);
    cbPickShift->setChecked((chord.modifiers & kModShift) != 0);
    cbPickKey->setCurrentIndex(std::max(0, cbPickKey->findData(chord.key)));
    if (FAutostart) {
        const TAutostartState state = LoadAutostart(FAutostart->path);
        cbAutostart->setChecked(state.enabled);
        cbAutostartTray->setChecked(state.enabled && state.inTray);
        cbAutostartTray->setEnabled(state.enabled);
    }
}

void TFMConfig::StoreOptions() {
    FConfig.Running().SetMinimize(rbMinimize->isChecked());
    FConfig.Running().SetStayontop(rbStayontop->isChecked());
    const THotkeyChord chord{(cbPickCtrl->isChecked() ? kModControl : 0u) | (cbPickAlt->isChecked() ? kModAlt : 0u) |
                                 (cbPickShift->isChecked() ? kModShift : 0u),
                             cbPickKey->currentData().toInt()};
    // Written only where it differs from the default, so that a file of an earlier version stays as it was.
    FConfig.Running().SetPickHotkey(chord == kDefaultPickerChord ? std::string() : ChordText(chord));
    if (FAutostart) {
        SaveAutostart(FAutostart->path, FAutostart->executable,
                      {cbAutostart->isChecked(), cbAutostart->isChecked() && cbAutostartTray->isChecked()});
    }
}

void TFMConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFMConfig::FormShow() {
    try {
        LoadOptions();
    } catch (const std::exception& error) {
        // Report once the dialog is on the screen, so that the message box has it as its parent.
        const std::string text = error.what();
        QTimer::singleShot(0, this, [this, text] { FWarn(text); });
    }
}

void TFMConfig::BitBtn1Click() {
    try {
        StoreOptions();
    } catch (const std::exception& error) {
        FWarn(error.what());
        return;
    }
    accept();
}

void TFMConfig::BitBtn2Click() {
    reject();
}

} // namespace velmora
