#include "IbusAddress.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>

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
    QFile socketFile(folder + QStringLiteral("/ibus/bus/") + QString::fromStdString(file));
    if (!socketFile.open(QIODevice::ReadOnly)) {
        return {};
    }
    return IbusAddressInFile(socketFile.read(64 * 1024).toStdString());
}

} // namespace velmora
