#include "MainCtrl.h"

#include "core/KeyNames.h"
#include "core/Recovery.h"
#include "core/TextCodec.h"

#include <ctime>
#include <exception>
#include <iostream>
#include <optional>
#include <utility>

namespace velmora {
namespace {

constexpr const char* kNewCaption = "New Text";
constexpr const char* kEditCaption = "Edit Text";
constexpr const char* kDeleteQuestion = "Are you sure to delete the click?";

/// "<what> to "<path>".\n<reason>", leaving out the path when the reason names it already.
std::string Problem(const std::string& what, const std::string& path, const std::string& reason) {
    std::string text = what;
    if (!path.empty() && reason.find(path) == std::string::npos) {
        text += " to \"" + path + "\"";
    }
    return text + ".\n" + reason;
}

} // namespace

TMainCtrl::TMainCtrl(TRowList& tree, IXmlDocument& xmlDoc, TControllerServices services)
    : FTree(tree), FXMLDoc(xmlDoc), FServices(services), FListFile(tree, xmlDoc, services.fs, services.answers),
      FHotKeys(services.hotkeys, services.typist) {
    // Rows the desktop binds later are shown as after a Start once it has answered.
    FHotKeys.SetSettledHandler([this] {
        if (FHotkeysChanged) {
            FHotkeysChanged();
        }
        if (FServices.hotkeysNoted) {
            FServices.hotkeysNoted(FHotKeys);
        }
    });
    FListFile.LoadList(false);
}

void TMainCtrl::TellRecoveryNotice() {
    // Forgotten only once told: a notice the user never saw (the program was ended meanwhile) comes again.
    try {
        if (const std::string notice = RecoveryNotice(FServices.fs); !notice.empty()) {
            FServices.answers.Warn(notice);
            ForgetRecoveryNotice(FServices.fs);
        }
    } catch (const FileError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
    }
}

TMainCtrl::~TMainCtrl() {
    try {
        TRowBatch batch(FTree);
        for (auto row = FTree.Last(); row; row = FTree.Last()) {
            FTree.Delete(*row);
        }
        FTree.Clear();
    } catch (...) {
    }
    try {
        FHotKeys.UnregisterHotKeys();
    } catch (...) {
    }
    FHotkeysChanged = nullptr;
}

void TMainCtrl::Shutdown(bool unattended) {
    try {
        switch (FListFile.SaveAtEnd()) {
        case TListFile::TEndSave::Written:
        case TListFile::TEndSave::Unchanged:
            break;
        case TListFile::TEndSave::ChangedOnDisk:
            SaveOverChangedFile(unattended);
            break;
        case TListFile::TEndSave::NoFile:
            KeepList(unattended, "The list file could not be read at the start and was left as it was.");
            break;
        }
    } catch (const std::exception& error) {
        if (unattended) {
            KeepListForNextStart(error.what());
        } else {
            try {
                FServices.answers.Warn(Problem("The list could not be saved", FListFile.FileName(), error.what()) +
                                       "\n\nPlease choose another file to save it to.");
                SaveList(true);
            } catch (const std::exception& again) {
                try {
                    FServices.answers.Warn(Problem("The list could not be saved", {}, again.what()));
                } catch (...) {
                }
            } catch (...) {
            }
        }
    } catch (...) {
    }
    try {
        Config().Save();
    } catch (const std::exception& error) {
        try {
            const std::string path = FServices.fs.ExecutableDir() + "/" + kConfigFileName;
            const std::string problem = Problem("The settings could not be saved", path, error.what());
            if (unattended) {
                std::cerr << "velmora: " << problem << std::endl;
            } else {
                FServices.answers.Warn(problem);
            }
        } catch (...) {
        }
    } catch (...) {
    }
}

void TMainCtrl::SaveOverChangedFile(bool unattended) {
    const std::string changed =
        "The list file \"" + FListFile.FileName() + "\" was changed by another program since Velmora read it.";
    if (unattended) {
        KeepListForNextStart(changed + " It is left as it is.");
        return;
    }
    if (FServices.answers.AskYesNo(changed +
                                   "\n\nReplace it with Velmora's list? The other program's changes are then lost."
                                   "\nNo leaves that file as it is and saves Velmora's list in another file.")) {
        FListFile.SaveList(false);
        return;
    }
    if (!FListFile.SaveList(true)) {
        KeepList(false, changed);
    }
}

void TMainCtrl::KeepList(bool unattended, const std::string& reason) {
    if (unattended) {
        KeepListForNextStart(reason);
        return;
    }
    try {
        const std::string kept = FListFile.SaveRecovery(std::time(nullptr), false);
        FServices.answers.Notice(reason + "\nVelmora's list was kept in \"" + kept + "\". Use Load to open it.");
    } catch (const FileError& error) {
        FServices.answers.Warn(Problem("The list could not be saved", {}, error.what()));
    }
}

void TMainCtrl::KeepListForNextStart(const std::string& reason) {
    try {
        std::cerr << "velmora: " << Problem("The list could not be saved", FListFile.FileName(), reason) << std::endl;
        const std::string kept = FListFile.SaveRecovery(std::time(nullptr));
        std::cerr << "velmora: the list was kept in \"" << kept << "\"; the next start tells where it is." << std::endl;
    } catch (const std::exception& again) {
        std::cerr << "velmora: the list could not be kept elsewhere either: " << again.what() << std::endl;
    } catch (...) {
    }
}

void TMainCtrl::NewItem() {
    auto item = std::make_shared<TStrItem>();
    if (FServices.dialogs.DefineItem(kNewCaption, false, *item)) {
        AddItem(std::move(item));
    }
}

void TMainCtrl::EditSelected() {
    const std::optional<std::size_t> focused = FTree.Focused();
    if (!focused) {
        return;
    }
    // Held here, so that the item outlives the dialog whatever happens to its row meanwhile.
    const TStrItemPtr item = FTree.Item(*focused);
    if (!FServices.dialogs.DefineItem(kEditCaption, true, *item)) {
        return;
    }
    if (*focused < FTree.Count() && FTree.Item(*focused) == item) {
        FTree.NotifyItemChanged(*focused);
    }
}

void TMainCtrl::DeleteSelected() {
    const std::optional<std::size_t> focused = FTree.Focused();
    if (!focused) {
        return;
    }
    const TStrItemPtr item = FTree.Item(*focused);
    if (!FServices.answers.AskYesNo(kDeleteQuestion)) {
        return;
    }
    // The row asked about, unless it went away while the question was open.
    if (*focused < FTree.Count() && FTree.Item(*focused) == item) {
        FTree.Delete(*focused);
    }
}

void TMainCtrl::AddItem(TStrItemPtr item) {
    TRowBatch batch(FTree);
    FTree.Append(std::move(item), true);
}

TConfig& TMainCtrl::Config() {
    if (!FConfig) {
        FConfig = std::make_unique<TConfig>(FServices.fs);
    }
    return *FConfig;
}

void TMainCtrl::ShowSettings() {
    FServices.dialogs.ShowSettings(Config());
}

void TMainCtrl::LoadList(bool ask) {
    FListFile.LoadList(ask);
}

void TMainCtrl::SaveList(bool ask) {
    FListFile.SaveList(ask);
}

THotkeyChord TMainCtrl::PickerChord() {
    const std::string text = Config().Running().PickHotkey();
    if (text.empty()) {
        return kDefaultPickerChord;
    }
    const std::optional<THotkeyChord> chord = ParseChordText(text);
    if (!chord) {
        std::cerr << "velmora: the picker's hotkey \"" << text << "\" in the settings is not one Velmora knows; "
                  << ChordText(kDefaultPickerChord) << " is used instead" << std::endl;
    }
    return chord.value_or(kDefaultPickerChord);
}

void TMainCtrl::Start() {
    try {
        FHotKeys.SetPickerChord(PickerChord());
    } catch (const std::exception& error) {
        // A settings file that cannot be read is reported where it is shown; the rows' hotkeys work without it.
        std::cerr << "velmora: the picker has no hotkey: " << error.what() << std::endl;
        FHotKeys.SetPickerChord(std::nullopt);
    }
    FHotKeys.Start(FTree);
    if (FHotkeysChanged) {
        FHotkeysChanged();
    }
    if (FServices.hotkeysNoted) {
        FServices.hotkeysNoted(FHotKeys);
    }
}

void TMainCtrl::Stop() {
    FHotKeys.Stop();
    if (FHotkeysChanged) {
        FHotkeysChanged();
    }
}

void TMainCtrl::HandleHotKey(std::uint16_t modifiers, std::uint16_t virtualKey) {
    FHotKeys.HandleHotKey(modifiers, virtualKey);
}

std::string TMainCtrl::GetCellText(std::size_t row, int column) const {
    if (row >= FTree.Count()) {
        return {};
    }
    switch (column) {
    case 0:
        return std::to_string(row + 1);
    case 1: {
        const TStrItemPtr& item = FTree.Item(row);
        return item ? HotkeyLabel(item->FHKCtrl, item->FHKChar) : std::string();
    }
    case 2: {
        const TStrItemPtr& item = FTree.Item(row);
        if (!item) {
            return {};
        }
        if (item->FSecret) {
            return kSecretText;
        }
        // Bytes that are not UTF-8 are shown as the characters of the legacy code page they were written in.
        return IsValidUtf8(item->FStr) ? item->FStr : UnicodeToText(TextToUnicode(item->FStr));
    }
    default:
        return {};
    }
}

} // namespace velmora
