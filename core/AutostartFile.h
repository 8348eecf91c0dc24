#pragma once

#include "AutostartEntry.h"
#include "ProgramFolders.h"

#include <string>

namespace velmora {

/// The autostart entry's path: $XDG_CONFIG_HOME/autostart (an absolute XDG_CONFIG_HOME only, else
/// $HOME/.config/autostart), then the app id and ".desktop". Throws FileError when neither names a folder.
std::string AutostartEntryPath(const TFolderEnvironment& environment);

/// The running executable's absolute path; throws FileError.
std::string RunningExecutable();

/// What the entry at `path` asks for; no file asks for nothing. Throws FileError when it cannot be read.
TAutostartState LoadAutostart(const std::string& path);

/// Writes the entry that starts `executable` as `state` asks (mode 0644, a missing folder made), or removes it when
/// `state` is not enabled; an entry that holds that text already is left alone. Throws FileError.
void SaveAutostart(const std::string& path, const std::string& executable, TAutostartState state);

} // namespace velmora
