#include "IbusAddress.h"

#include "platform/PlatformError.h"

#include <QDBusConnection>
#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace velmora {

std::string IbusSocketFileName(const std::string& machineId, const char* waylandDisplay, const char* display) {
    std::string name;
    if (waylandDisplay != nullptr && *waylandDisplay != '\0') {
        name = waylandDisplay;
    } else if (display != nullptr) {
        // ":1.0" and "host:1" name display 1.
        const std::string value = display;
        const std::size_t colon = value.rfind(':');
        if (colon != std::string::npos) {
            name = value.substr(colon + 1, value.find('.', colon) - colon - 1);
        }
    }
    if (machineId.empty() || name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    return machineId + "-unix-" + name;
}

std::string IbusAddressInFile(const std::string& fileText) {
    std::istringstream lines(fileText);
    const std::string key = "IBUS_ADDRESS=";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key, 0) == 0) {
            return line.substr(key.size());
        }
    }
    return {};
}

std::string IbusAddressInOwnFile(const std::string& path, uid_t uid) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ELOOP) {
            throw PlatformError(
                "the IBus address file " + path +
                " is a symbolic link: Velmora does not use it. Remove it and restart IBus (ibus restart).");
        }
        return {};
    }
    struct TClose {
        int fd;
        ~TClose() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    if (info.st_uid != uid || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        throw PlatformError("the IBus address file " + path +
                            (info.st_uid != uid ? " belongs to another user" : " may be changed by other users") +
                            ": Velmora does not type through IBus. Remove it and restart IBus (ibus restart).");
    }
    std::string text;
    std::array<char, 4096> buffer{};
    for (ssize_t got = 0; text.size() < 64 * 1024 && (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return IbusAddressInFile(text);
}

std::string IbusAddress() {
    if (const char* address = std::getenv("IBUS_ADDRESS"); address != nullptr && *address != '\0') {
        return address;
    }
    const std::string file = IbusSocketFileName(QDBusConnection::localMachineId().toStdString(),
                                                std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
    if (file.empty()) {
        return {};
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const QString folder = config != nullptr && *config == '/' ? QString::fromLocal8Bit(config)
                                                               : QDir::homePath() + QStringLiteral("/.config");
    return IbusAddressInOwnFile((folder + QStringLiteral("/ibus/bus/")).toStdString() + file, ::getuid());
}

} // namespace velmora
