#pragma once

#include "FileSystem.h"

#include <string>

namespace velmora {

/// The environment variables that decide where an installed copy keeps its files; empty when unset.
struct TFolderEnvironment {
    std::string home;
    std::string configHome;
    std::string runtimeDir;

    /// The values of HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of this process.
    static TFolderEnvironment FromProcess();
};

/// Where the program keeps its files for this run.
struct TProgramFolders {
    /// The folder of the list file and the settings file.
    std::string files;
    /// The folder of the lock that keeps a second copy from using the same files.
    std::string lock;
};

/// Decides once, at start-up, where the files live. A copy whose executable's folder is writable (the portable copy)
/// keeps everything beside the executable. Otherwise (an installed copy) the files go to
/// `$XDG_CONFIG_HOME/velmora`, or `$HOME/.config/velmora` when XDG_CONFIG_HOME is unset or not an absolute path,
/// created with mode 0700 when missing; the lock goes to `$XDG_RUNTIME_DIR`, or beside the files without one.
/// The folders programs are installed into (/usr/bin and the like, and ~/.local/bin) never hold the files, not even
/// when the user may write them.
/// Throws FileError when there is no usable folder (no HOME, or the folder cannot be created).
TProgramFolders ChooseProgramFolders(IFileSystem& fs, const TFolderEnvironment& environment);

} // namespace velmora
