#pragma once

#include "ControllerDialogs.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/ListFile.h"
#include "core/RowList.h"
#include "core/UserAnswers.h"
#include "core/XmlDocument.h"
#include "platform/HotkeyRegistry.h"
#include "platform/HotkeyService.h"
#include "platform/Typist.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace velmora {

/// What the list shows of a secret row's text, whatever its length: eight dots (UTF-8).
inline constexpr const char* kSecretText =
    "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2";

/// What the controller works with besides the rows and the list document.
struct TControllerServices {
    IFileSystem& fs;
    IUserAnswers& answers;
    IControllerDialogs& dialogs;
    IHotkeyService& hotkeys;
    ITypist& typist;
    /// Hears the registry after each Start and each time the desktop settles rows it decided later (for the status
    /// line); may be empty.
    std::function<void(const THotKeys&)> hotkeysNoted;
};

/// The one object that holds the working state: the rows and their items, the list document, the current list
/// file, the settings and the hotkey registry. The main window forwards every button to it.
class TMainCtrl {
public:
    /// Takes the rows (the list view's model) and the list document, and loads the default list file. The hotkey
    /// registry hears the service's presses from now on.
    TMainCtrl(TRowList& tree, IXmlDocument& xmlDoc, TControllerServices services);
    /// Frees the items (rows from the last to the first), removes the rows and releases the hotkeys; never throws.
    /// Saving is Shutdown's job, which the window runs first.
    ~TMainCtrl();
    TMainCtrl(const TMainCtrl&) = delete;
    TMainCtrl& operator=(const TMainCtrl&) = delete;

    /// Writes the list into the current list file and writes the settings file back; what is as the files hold
    /// it is not written. When the list file cannot be written the user is warned (naming the file and the reason)
    /// and offered a save dialog to put the list elsewhere; a settings file that cannot be written is reported
    /// likewise. When another program changed the list file since Velmora read or wrote it, the user chooses
    /// between replacing it and saving the list elsewhere (or, cancelling that, in the state folder). A list
    /// without a current list file (an unreadable one left in place) is kept in the state folder. Never throws.
    /// `unattended`: the end is not the user's (a signal, the session's end) and nobody may be asked: a list that
    /// cannot be written, or would be written over another program's changes, is kept in a new file of the state
    /// folder instead, and every problem goes to standard error; the next start tells the user where the list is.
    void Shutdown(bool unattended = false);
    /// Tells the user where lists were kept when an earlier run could not write them (once the window is shown).
    void TellRecoveryNotice();

    /// Asks for a new text in the definition dialog and appends it as a checked row.
    void NewItem();
    /// Edits the focused row's item in the definition dialog; nothing without a focused row.
    void EditSelected();
    /// After "Are you sure to delete the click?" deletes the focused row; nothing without a focused row.
    void DeleteSelected();
    /// Appends one checked row for the item.
    void AddItem(TStrItemPtr item);
    /// The settings object, created (and the settings file with it) on first use.
    TConfig& Config();
    /// Shows the settings dialog.
    void ShowSettings();
    /// The picker's hotkey the settings name: the default where they name none or one that cannot be read.
    THotkeyChord PickerChord();

    /// Replaces the rows by a list file's items (picked in a dialog if `ask`, else the default file).
    void LoadList(bool ask);
    /// Writes the rows into a list file (picked in a dialog if `ask`, else the current list file); throws FileError.
    void SaveList(bool ask);

    /// Registers one system-wide hotkey per checked row, and the picker's.
    void Start();
    /// Releases every registered hotkey.
    void Stop();
    /// Types the text of the first registered row whose current hotkey is this one.
    void HandleHotKey(std::uint16_t modifiers, std::uint16_t virtualKey);

    /// Called after Start and Stop, and when the desktop has settled registrations it decides later, so that the
    /// view can show which rows' hotkeys are in force.
    void SetHotkeysChangedHandler(std::function<void()> handler) { FHotkeysChanged = std::move(handler); }

    /// The text of a cell: column 0 the row's number, 1 its hotkey label, 2 its text (UTF-8; kSecretText for a
    /// secret row).
    std::string GetCellText(std::size_t row, int column) const;

    /// The rows.
    TRowList& Rows() { return FTree; }
    /// The hotkey registry (for showing which rows' hotkeys are in force).
    const THotKeys& HotKeys() const { return FHotKeys; }
    /// The hotkey registry, for presses that come through the row command.
    THotKeys& HotKeys() { return FHotKeys; }
    /// The list document.
    IXmlDocument& XmlDoc() { return FXMLDoc; }
    /// The list-file procedures and the current list file.
    TListFile& ListFile() { return FListFile; }

private:
    /// The unattended end's part of Shutdown when the list file could not be written.
    void KeepListForNextStart(const std::string& reason);
    /// Shutdown's part when another program changed the list file.
    void SaveOverChangedFile(bool unattended);
    /// Keeps the list in the state folder, telling the user where (or, unattended, the next start); `reason` says
    /// why it is not in its file.
    void KeepList(bool unattended, const std::string& reason);

    TRowList& FTree;
    IXmlDocument& FXMLDoc;
    TControllerServices FServices;
    TListFile FListFile;
    std::unique_ptr<TConfig> FConfig;
    THotKeys FHotKeys;
    std::function<void()> FHotkeysChanged;
};

} // namespace velmora
