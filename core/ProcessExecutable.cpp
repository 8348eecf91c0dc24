#include "ProcessExecutable.h"

#include <filesystem>
#include <string_view>

namespace velmora {

std::string ProcessExecutable(int pid) {
    std::error_code error;
    const std::string link = pid == 0 ? std::string("/proc/self/exe") : "/proc/" + std::to_string(pid) + "/exe";
    std::string path = std::filesystem::read_symlink(link, error).string();
    if (error) {
        return {};
    }
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

} // namespace velmora
