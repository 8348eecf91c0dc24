#pragma once

#include "core/RowList.h"
#include "platform/HotkeyRegistry.h"
#include "platform/ShortcutNames.h"

#include <optional>
#include <string>

namespace velmora {

/// The local socket on which the running copy with this tag (CopyTag of its list folder) hears row requests: in
/// `runtimeDir` ($XDG_RUNTIME_DIR, private to the user) when it is an absolute path, else in the folder
/// "velmora-UID" of `tmpDir` ($TMPDIR when absolute, else /tmp); named after the tag, so that a command reaches the
/// copy of the list it would use itself. Both ends make sure the socket's folder is private (MakePrivateFolder).
std::string RowCommandSocketPath(const std::string& copyTag, const char* runtimeDir, const char* tmpDir, unsigned uid);

/// The socket path of the copy with this tag, in this process's environment.
std::string RowCommandSocketPath(const std::string& copyTag);

/// The tag of this program's list folder (the folder ChooseProgramFolders decides on, its path resolved). Throws
/// FileError when there is none.
std::string ThisCopyTag(const std::string& listFolder);

/// Whether the copy with this tag runs: a process listens on its socket.
bool CopyRuns(const std::string& copyTag);

/// The path of this process's executable (also after an upgrade replaced the file it was started from).
std::string ExecutablePath();

/// The command a desktop shortcut the user binds by hand runs to type a row, without the row number: this
/// executable's path and the row option.
std::string RowCommandLine();

/// The number of a "--type-row" or "--hotkey" argument (a row's No., from 1, or a registration's id); none when it
/// is not a positive decimal number.
std::optional<std::size_t> ParseRowNumber(const std::string& argument);

/// The request line a command-line option sends to the running copy ("type-row 3", "hotkey 7", "pick" for --pick
/// whatever the number); empty for an option that sends none.
std::string RowRequestLine(const std::string& option, std::size_t number);

/// Handles one request line on the GUI thread. "type-row N": types row N's text when the row is in force (checked
/// at the last Start, not stopped since), whatever became of its hotkey. "hotkey ID": a press of the registration
/// ID of the last Start (a shortcut Velmora wrote), typed as any press is. "pick": opens the picker of all rows,
/// started or not. Returns the answer line: "ok", or
/// "error: " and what the user can do. `rows` and `hotkeys` are null while there is no controller.
std::string AnswerRowRequest(const std::string& request, const TRowList* rows, THotKeys* hotkeys);

/// Whether a program's first argument asks the running copy to type ("--type-row", "--hotkey", "--pick").
bool IsRowCommand(const std::string& firstArgument);

/// The program as a desktop shortcut runs it ("velmora --type-row N", "velmora --hotkey ID", "velmora --pick"):
/// sends the request to the running copy and returns the exit code (2 for a malformed command line, with its usage).
int RunRowCommand(int argc, char** argv);

/// The client side: sends the request line to the running copy and waits for its answer (5 s at most). Talks only
/// through a folder private to the user and only to a process of the same user. Returns the process's exit code:
/// 0 when the text is being typed, 1 when not (the reason goes to standard error).
int SendRowRequest(const std::string& socketPath, const std::string& request);

} // namespace velmora
