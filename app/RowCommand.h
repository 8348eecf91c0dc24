#pragma once

#include "core/RowList.h"
#include "platform/HotkeyRegistry.h"
#include "platform/Typist.h"

#include <optional>
#include <string>

namespace velmora {

/// The command-line option with which a desktop shortcut asks the running copy to type one row.
inline constexpr const char* kTypeRowOption = "--type-row";

/// The local socket on which the running copy of this executable hears row requests: in `runtimeDir`
/// ($XDG_RUNTIME_DIR, private to the user) when it is an absolute path, else in the folder "velmora-UID" of
/// `tmpDir` ($TMPDIR when absolute, else /tmp); named after the executable's path, so that the command and the copy
/// it talks to are the same program. Both ends make sure the socket's folder is private (MakePrivateFolder).
std::string RowCommandSocketPath(const std::string& executablePath, const char* runtimeDir, const char* tmpDir,
                                 unsigned uid);

/// The socket path for the running process's own executable and environment.
std::string RowCommandSocketPath();

/// The path of this process's executable.
std::string ExecutablePath();

/// The command a desktop shortcut runs to type a row, without the row number: this executable's path and the
/// option.
std::string RowCommandLine();

/// The row number (as in the "No." column, from 1) of a "--type-row" argument; none when it is not a positive
/// decimal number.
std::optional<std::size_t> ParseRowNumber(const std::string& argument);

/// Handles one request line ("type-row N") on the GUI thread: types row N's text when the row is in force (checked
/// at the last Start, not stopped since), whatever became of its hotkey. Returns the answer line: "ok", or
/// "error: " and what the user can do. `rows` and `hotkeys` are null while there is no controller.
std::string AnswerRowRequest(const std::string& request, const TRowList* rows, const THotKeys* hotkeys,
                             ITypist& typist);

/// The client side: sends "type-row N" to the running copy and waits for its answer (5 s at most). Talks only
/// through a folder private to the user and only to a process of the same user. Returns the process's exit code:
/// 0 when the row is being typed, 1 when not (the reason goes to standard error).
int SendRowRequest(const std::string& socketPath, std::size_t row);

} // namespace velmora
