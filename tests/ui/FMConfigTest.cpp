#include "ui/FMConfig.h"

#include "core/Config.h"
#include "core/Conversion.h"
#include "tests/fakes/FakeFileSystem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using testing::FakeFileSystem;

constexpr const char* kConfigPath = "/opt/velmora/config.configxml";

std::string ConfigText(const std::string& minimize, const std::string& stayontop) {
    return R"(<config versionNo="1.0" generated="x"><running minimize=")" + minimize + R"(" stayontop=")" + stayontop +
           R"("/></config>)";
}

class FMConfigTest : public ::testing::Test {
protected:
    void UseFile(const std::string& text) { fs.SetFile(kConfigPath, text); }

    FakeFileSystem fs;
    std::vector<std::string> warnings;
    TFMConfig::TWarnFn warn = [this](const std::string& text) { warnings.push_back(text); };
};

TEST_F(FMConfigTest, LooksAsDesigned) {
    UseFile(ConfigText("false", "True"));
    TConfig config(fs);
    QWidget mainWindow;
    mainWindow.setGeometry(10, 10, 200, 100);
    mainWindow.show();
    TFMConfig dialog(config, &mainWindow, warn);
    dialog.show();
    // Within the window frame's width of the centre; not over the main window.
    EXPECT_LE((dialog.geometry().center() - dialog.screen()->availableGeometry().center()).manhattanLength(), 8);
    EXPECT_EQ(dialog.windowTitle(), "Config Options");
    EXPECT_EQ(dialog.height(), 247) << "the login check boxes and the picker's hotkey below the buttons";
    EXPECT_GE(dialog.width(), 211);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.GroupBox2->title(), "When Running Velmora ");
    EXPECT_EQ(dialog.GroupBox2->geometry(), QRect(10, 12, 191, 91));
    EXPECT_EQ(dialog.rbMinimize->text(), "Minimize Main Form");
    EXPECT_EQ(dialog.rbStayontop->text(), "Main Form Stay on Top");
    EXPECT_EQ(dialog.BitBtn1->text(), "&OK");
    EXPECT_EQ(dialog.BitBtn2->geometry(), QRect(121, 112, 75, 25));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(FMConfigTest, ShowingPresetsTheButtonsAsTheGroupAllows) {
    struct Case {
        const char* minimize;
        const char* stayontop;
        bool minimizeChecked;
        bool stayontopChecked;
    };
    for (const Case& c : {Case{"false", "True", false, true}, Case{"True", "True", false, true},
                          Case{"1", "0", true, false}, Case{"false", "FALSE", false, false}}) {
        UseFile(ConfigText(c.minimize, c.stayontop));
        TConfig config(fs);
        TFMConfig dialog(config, nullptr, warn);
        dialog.show();
        EXPECT_EQ(dialog.rbMinimize->isChecked(), c.minimizeChecked) << c.minimize << " " << c.stayontop;
        EXPECT_EQ(dialog.rbStayontop->isChecked(), c.stayontopChecked) << c.minimize << " " << c.stayontop;
        dialog.close();
    }
    EXPECT_TRUE(warnings.empty());
}

TEST_F(FMConfigTest, OkStoresBothFlagsAndTheGroupStaysExclusive) {
    UseFile(ConfigText("True", "True"));
    TConfig config(fs);
    {
        TFMConfig dialog(config, nullptr, warn);
        dialog.show();
        dialog.BitBtn1->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    config.Save();
    EXPECT_NE(fs.File(kConfigPath)->find(R"(minimize="False" stayontop="True")"), std::string::npos)
        << *fs.File(kConfigPath);

    TFMConfig dialog(config, nullptr, warn);
    dialog.show();
    dialog.rbMinimize->click();
    EXPECT_FALSE(dialog.rbStayontop->isChecked());
    dialog.BitBtn1->click();
    EXPECT_TRUE(config.Running().Minimize());
    EXPECT_FALSE(config.Running().Stayontop());
}

TEST_F(FMConfigTest, CancelStoresNothing) {
    UseFile(ConfigText("false", "True"));
    TConfig config(fs);
    TFMConfig dialog(config, nullptr, warn);
    dialog.show();
    dialog.rbMinimize->click();
    dialog.BitBtn2->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    config.Save();
    EXPECT_NE(fs.File(kConfigPath)->find(R"(minimize="false" stayontop="True")"), std::string::npos);
}

TEST_F(FMConfigTest, AnEmptyFlagStopsLoadingThereAndIsReported) {
    UseFile(ConfigText("True", ""));
    TConfig config(fs);
    TFMConfig dialog(config, nullptr, warn);
    EXPECT_THROW(dialog.LoadOptions(), ConversionError);
    EXPECT_TRUE(dialog.rbMinimize->isChecked()); // the first flag was read before the second failed

    dialog.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_NE(warnings[0].find("stayontop"), std::string::npos) << warnings[0];
}

TEST_F(FMConfigTest, TheLoginCheckBoxesShowTheEntryOnDiskAndOkWritesOrRemovesIt) {
    UseFile(ConfigText("false", "True"));
    TConfig config(fs);
    const QTemporaryDir home;
    const TAutostartPlace place{home.filePath("autostart/velmora.desktop").toStdString(), "/usr/bin/velmora"};
    {
        TFMConfig dialog(config, nullptr, warn, place);
        dialog.show();
        EXPECT_FALSE(dialog.cbAutostart->isChecked());
        EXPECT_FALSE(dialog.cbAutostartTray->isEnabled());
        EXPECT_EQ(dialog.cbAutostartTray->text(), "At login: press Start and stay in the tray");
        dialog.cbAutostart->click();
        dialog.cbAutostartTray->click();
        dialog.BitBtn1->click();
    }
    QFile entry(QString::fromStdString(place.path));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=/usr/bin/velmora --autostart\n"));
    entry.close();

    TFMConfig again(config, nullptr, warn, place);
    again.show();
    EXPECT_TRUE(again.cbAutostart->isChecked());
    EXPECT_TRUE(again.cbAutostartTray->isChecked());
    again.cbAutostart->click();
    EXPECT_FALSE(again.cbAutostartTray->isEnabled());
    again.BitBtn1->click();
    EXPECT_FALSE(entry.exists());
    EXPECT_TRUE(warnings.empty());
}

TEST_F(FMConfigTest, ThePickersHotkeyIsWrittenOnlyWhereItDiffersFromTheDefault) {
    UseFile(ConfigText("false", "True"));
    TConfig config(fs);
    const auto choose = [&](bool ctrl, bool alt, bool shift, const QString& key) {
        TFMConfig dialog(config, nullptr, warn);
        dialog.show();
        dialog.cbPickCtrl->setChecked(ctrl);
        dialog.cbPickAlt->setChecked(alt);
        dialog.cbPickShift->setChecked(shift);
        dialog.cbPickKey->setCurrentText(key);
        dialog.BitBtn1->click();
        config.Save();
        return *fs.File(kConfigPath);
    };
    EXPECT_EQ(choose(true, true, false, "Space"), ConfigText("False", "True")) << "the default is not written";
    EXPECT_NE(choose(false, false, true, "F9").find(R"(pickhotkey="SHIFT+F9")"), std::string::npos);
    TFMConfig shown(config, nullptr, warn);
    shown.show();
    EXPECT_TRUE(shown.cbPickShift->isChecked() && !shown.cbPickCtrl->isChecked() && !shown.cbPickAlt->isChecked());
    EXPECT_EQ(shown.cbPickKey->currentText(), "F9");
    EXPECT_EQ(choose(true, true, false, "Space"), ConfigText("False", "True")) << "back to the default: removed";
    EXPECT_TRUE(warnings.empty());
}

} // namespace
} // namespace velmora
