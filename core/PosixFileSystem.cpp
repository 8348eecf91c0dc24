#include "PosixFileSystem.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace velmora {
namespace {

std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

[[noreturn]] void Fail(const std::string& what, int error) {
    throw FileError(what + ": " + std::strerror(error));
}

/// Removes a temporary file when the scope is left before Keep().
class TTempFileGuard {
public:
    explicit TTempFileGuard(std::string path) : FPath(std::move(path)) {}
    ~TTempFileGuard() {
        if (!FPath.empty()) {
            ::unlink(FPath.c_str());
        }
    }
    TTempFileGuard(const TTempFileGuard&) = delete;
    TTempFileGuard& operator=(const TTempFileGuard&) = delete;

    void Keep() { FPath.clear(); }

private:
    std::string FPath;
};

/// The path with its links resolved (realpath), or nothing when it cannot be resolved.
std::optional<std::string> RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::optional<std::string>(resolved.get()) : std::nullopt;
}

/// Follows a symbolic link, so that replacing it replaces the file it points to and keeps the link.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    return RealPath(path).value_or(path);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Writes every byte, going on after short writes and interrupted calls; returns 0 or the errno.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int FsyncRetrying(int fd) {
    while (::fsync(fd) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

/// Best effort: a folder that cannot be synced still holds the renamed file.
void SyncFolder(const std::string& folder) {
    TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) {
        FsyncRetrying(dir.Get());
    }
}

/// Whether the user may write the file itself, as a plain write would find it. Root may write any file, but a file
/// without any write permission is read-only to root too: it is treated as its owner would meet it. Returns 0 or
/// the errno a plain write would give.
int WriteRefusal(const std::string& path, const struct stat& st) {
    if (::access(path.c_str(), W_OK) != 0) {
        return errno;
    }
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? EACCES : 0;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return home;
    }
    const passwd* user = ::getpwuid(::getuid());
    if (user == nullptr || user->pw_dir == nullptr) {
        throw FileError("Cannot find the home folder: HOME is not set and the user has no home folder");
    }
    return user->pw_dir;
}

/// Writes the bytes, syncs them to disk and closes the descriptor; throws with `what` on the first failure.
void WriteSyncAndClose(TFd& fd, std::string_view bytes, const std::string& what) {
    if (const int error = WriteAll(fd.Get(), bytes)) {
        Fail(what, error);
    }
    if (const int error = FsyncRetrying(fd.Get())) {
        Fail(what, error);
    }
    if (const int error = fd.Close()) {
        Fail(what, error);
    }
}

} // namespace

bool TPosixFileSystem::FileExists(const std::string& path) const {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string TPosixFileSystem::ReadFile(const std::string& path) const {
    const std::string what = "Cannot read " + Quote(path);
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        Fail(what, errno);
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        Fail(what, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        Fail(what, EISDIR);
    }
    std::string bytes;
    // Read straight into the string: the size from fstat first, then on in chunks for files that grow or report 0.
    std::size_t used = 0;
    bytes.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096);
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t got = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(what, errno);
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

void TPosixFileSystem::ReplaceFile(const std::string& path, std::string_view bytes) {
    const std::string what = "Cannot write " + Quote(path);
    if (path.empty()) {
        Fail(what, ENOENT);
    }
    const std::string target = ResolveTarget(path);
    const std::string folder = FolderOf(target);

    mode_t mode = 0600; // a new file: snippets are often passwords
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode)) {
            Fail(what, EISDIR);
        }
        // Renaming over the file would replace a file the user may not write.
        if (const int error = WriteRefusal(target, old)) {
            Fail(what + ": the file is read-only", error);
        }
        mode = old.st_mode & 07777;
    }

    std::string temp = folder + "/." + NameOf(target) + ".XXXXXX";
    TFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        const int error = errno;
        throw FileError(what + ": cannot create a temporary file in " + Quote(folder) + ": " + std::strerror(error));
    }
    TTempFileGuard guard(temp);

    if (::fchmod(fd.Get(), mode) != 0) {
        Fail(what, errno);
    }
    if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Keep the owner where we may (as root, or a group we belong to); otherwise the file becomes ours.
        [[maybe_unused]] const int ignored = ::fchown(fd.Get(), old.st_uid, old.st_gid);
    }
    WriteSyncAndClose(fd, bytes, what);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        Fail(what, errno);
    }
    guard.Keep();
    SyncFolder(folder);
}

void TPosixFileSystem::RenameFile(const std::string& from, const std::string& to) {
    const std::string what = "Cannot rename " + Quote(from) + " to " + Quote(to);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        SyncFolder(FolderOf(to));
        return;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
        Fail(what, error);
    }
    // The file system cannot rename without replacing: a hard link refuses an existing name just the same.
    if (::link(from.c_str(), to.c_str()) != 0) {
        Fail(what, errno);
    }
    if (::unlink(from.c_str()) != 0) {
        const int unlinkError = errno;
        ::unlink(to.c_str());
        Fail(what, unlinkError);
    }
    SyncFolder(FolderOf(to));
}

bool TPosixFileSystem::CreateNewFile(const std::string& path, std::string_view bytes) {
    const std::string what = "Cannot create " + Quote(path);
    CreateFolders(FolderOf(path), 0700);
    TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.Get() < 0) {
        if (errno == EEXIST) {
            return false;
        }
        Fail(what, errno);
    }
    TTempFileGuard guard(path); // a half-written file does not stay
    WriteSyncAndClose(fd, bytes, what);
    guard.Keep();
    SyncFolder(FolderOf(path));
    return true;
}

void TPosixFileSystem::DeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        Fail("Cannot delete " + Quote(path), errno);
    }
}

std::string TPosixFileSystem::StateDir() const {
    // The XDG rules ignore a relative value.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        return std::string(state) + "/velmora";
    }
    return HomeFolder() + "/.local/state/velmora";
}

std::string TPosixFileSystem::ExecutableDir() const {
    if (!FProgramFolder.empty()) {
        return FProgramFolder;
    }
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            Fail("Cannot find the program's folder from \"/proc/self/exe\"", errno);
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const auto slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string(".") : buffer.substr(0, slash);
}

bool TPosixFileSystem::IsWritableFolder(const std::string& path) const {
    struct stat st {};
    // The effective ids decide, as they do for the writes themselves; a read-only mount answers EROFS.
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

void TPosixFileSystem::CreateFolders(const std::string& path, unsigned mode) {
    const std::string what = "Cannot create the folder " + Quote(path);
    if (path.empty()) {
        Fail(what, ENOENT);
    }
    // Each folder from the top down; those that exist stay as they are.
    std::size_t end = 0;
    do {
        end = path.find('/', end + 1);
        const std::string folder = path.substr(0, end);
        if (::mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
            Fail(what, errno);
        }
    } while (end != std::string::npos);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Fail(what, errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        Fail(what, ENOTDIR);
    }
}

std::string TPosixFileSystem::ResolvedPath(const std::string& path) const {
    return path.empty() ? path : RealPath(path).value_or(path);
}

} // namespace velmora
