#include "ProgramFolders.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace velmora {
namespace {

/// Folders that belong to the system's package manager, whoever may write them.
constexpr std::array<std::string_view, 8> kSystemProgramFolders{
    "/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/games", "/usr/local/bin", "/usr/local/sbin", "/usr/local/games"};

/// A folder programs are installed into: the system's, or the user's own ~/.local/bin. The paths are compared with
/// their links resolved: HOME may lead through a link, and /bin may be one to /usr/bin.
bool IsInstallFolder(const IFileSystem& fs, const std::string& folder, const std::string& home) {
    const std::string resolved = fs.ResolvedPath(folder);
    for (const std::string_view system : kSystemProgramFolders) {
        if (resolved == fs.ResolvedPath(std::string(system))) {
            return true;
        }
    }
    return !home.empty() && resolved == fs.ResolvedPath(home + "/.local/bin");
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

TFolderEnvironment TFolderEnvironment::FromProcess() {
    return {Env("HOME"), Env("XDG_CONFIG_HOME"), Env("XDG_RUNTIME_DIR")};
}

TProgramFolders ChooseProgramFolders(IFileSystem& fs, const TFolderEnvironment& environment) {
    const std::string programFolder = fs.ExecutableDir();
    const std::string home = IsAbsolute(environment.home) ? WithoutTrailingSlashes(environment.home) : std::string();
    if (!IsInstallFolder(fs, programFolder, home) && fs.IsWritableFolder(programFolder)) {
        return {programFolder, programFolder};
    }

    std::string configHome;
    if (IsAbsolute(environment.configHome)) {
        configHome = WithoutTrailingSlashes(environment.configHome);
    } else if (!home.empty()) {
        configHome = home + "/.config";
    } else {
        throw FileError("Cannot find a folder for Velmora's files: the program's folder \"" + programFolder +
                        "\" is not writable and neither HOME nor XDG_CONFIG_HOME names a folder. Set HOME, or run "
                        "a copy of Velmora from a folder you can write.");
    }
    const std::string files = (configHome == "/" ? std::string() : configHome) + "/velmora";
    fs.CreateFolders(files, 0700);

    const std::string lock =
        IsAbsolute(environment.runtimeDir) ? WithoutTrailingSlashes(environment.runtimeDir) : files;
    return {files, lock};
}

} // namespace velmora
