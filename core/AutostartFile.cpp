#include "AutostartFile.h"

#include "ProcessExecutable.h"

#include "FileSystem.h"
#include "UniqueFd.h"
#include "core/Version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>

namespace velmora {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw FileError(what + " \"" + path + "\": " + std::strerror(error) + ".");
}

/// The file's bytes, or nothing when it is not there.
std::optional<std::string> ReadIfThere(const std::string& path) {
    std::error_code missing;
    if (!std::filesystem::exists(path, missing) && !missing) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail("Cannot read the autostart entry", path, errno);
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

/// Writes the file beside its place under a temporary name, then renames it over the old one.
void WritePublicFile(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".new";
    {
        const TFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.Get() < 0) {
            Fail("Cannot write the autostart entry", temporary, errno);
        }
        // Whatever the umask: the desktop's session manager reads it as any desktop entry.
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd.Get(), bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno != EINTR) {
                const int error = errno;
                ::unlink(temporary.c_str());
                Fail("Cannot write the autostart entry", temporary, error);
            }
            written += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        if (::fchmod(fd.Get(), 0644) != 0 || ::fsync(fd.Get()) != 0) {
            const int error = errno;
            ::unlink(temporary.c_str());
            Fail("Cannot write the autostart entry", temporary, error);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        Fail("Cannot write the autostart entry", path, error);
    }
}

} // namespace

std::string AutostartEntryPath(const TFolderEnvironment& environment) {
    std::string config = environment.configHome;
    if (config.empty() || config.front() != '/') {
        if (environment.home.empty()) {
            throw FileError("Cannot find the autostart folder: neither HOME nor XDG_CONFIG_HOME names a folder.");
        }
        config = environment.home + "/.config";
    }
    while (config.size() > 1 && config.back() == '/') {
        config.pop_back();
    }
    return config + "/autostart/" + kAppId + ".desktop";
}

std::string RunningExecutable() {
    std::string path = ProcessExecutable();
    if (path.empty()) {
        throw FileError("Cannot find the program's path from \"/proc/self/exe\": start Velmora from its file and try "
                        "again.");
    }
    return path;
}

TAutostartState LoadAutostart(const std::string& path) {
    const std::optional<std::string> text = ReadIfThere(path);
    return text ? ReadAutostartEntry(*text) : TAutostartState{};
}

void SaveAutostart(const std::string& path, const std::string& executable, TAutostartState state) {
    if (!state.enabled) {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            Fail("Cannot remove the autostart entry", path, errno);
        }
        return;
    }
    const std::string text = AutostartEntryText(executable, state.inTray);
    if (ReadIfThere(path) == text) {
        return;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw FileError("Cannot make the folder \"" + folder.string() + "\": " + error.message() + ".");
    }
    WritePublicFile(path, text);
}

} // namespace velmora
