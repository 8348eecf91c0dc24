#include "PrivateSocket.h"

#include "core/FileSystem.h"
#include "core/UniqueFd.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora {

void MakePrivateFolder(const std::string& folder, uid_t uid) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw FileError("cannot make the folder " + folder + ": " + std::strerror(errno));
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        throw FileError("cannot read the folder " + folder + ": " + std::strerror(errno));
    }
    std::string wrong;
    if (S_ISLNK(info.st_mode)) {
        wrong = "it is a symbolic link";
    } else if (!S_ISDIR(info.st_mode)) {
        wrong = "it is not a folder";
    } else if (info.st_uid != uid) {
        wrong = "it belongs to the user with id " + std::to_string(info.st_uid);
    } else if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        throw FileError(folder + " is not private to you: others may enter it (mode " + mode +
                        "). Make it private (chmod 700 " + folder + ").");
    }
    if (!wrong.empty()) {
        throw FileError(folder + " is not a folder of your own: " + wrong +
                        ". Have it removed, or set XDG_RUNTIME_DIR to a folder of your own.");
    }
}

bool SomeoneListens(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const TFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return probe.Get() >= 0 && ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

std::optional<uid_t> PeerUid(int socketFd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer) {
        return std::nullopt;
    }
    return peer.uid;
}

} // namespace velmora
