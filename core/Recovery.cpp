#include "Recovery.h"

namespace velmora {
namespace {

constexpr int kMaxNames = 1000;

// The paths of the kept lists not told yet, one a line.
std::string NoticePath(const IFileSystem& fs) {
    return fs.StateDir() + "/recovered-lists";
}

std::string TimeStamp(std::time_t now) {
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &local);
    return std::string(text, length);
}

} // namespace

std::string SaveRecoveryFile(IFileSystem& fs, std::string_view listText, std::time_t now, bool tellNextStart) {
    const std::string stem = fs.StateDir() + "/mouses-" + TimeStamp(now);
    for (int n = 1; n <= kMaxNames; ++n) {
        std::string path = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".xml";
        if (!fs.CreateNewFile(path, listText)) {
            continue;
        }
        if (!tellNextStart) {
            return path;
        }
        const std::string notice = NoticePath(fs);
        std::string pending = fs.FileExists(notice) ? fs.ReadFile(notice) : std::string();
        pending += path + "\n";
        fs.ReplaceFile(notice, pending);
        return path;
    }
    throw FileError("Cannot keep the list in \"" + fs.StateDir() + "\": every name for it is taken");
}

std::string RecoveryNotice(const IFileSystem& fs) {
    const std::string notice = NoticePath(fs);
    if (!fs.FileExists(notice)) {
        return {};
    }
    const std::string paths = fs.ReadFile(notice);
    if (paths.empty()) {
        return {};
    }
    return "When Velmora was last ended by the system, the list could not be written to its file. It was kept in:\n" +
           paths + "Use Load to open it.";
}

void ForgetRecoveryNotice(IFileSystem& fs) {
    fs.DeleteFile(NoticePath(fs));
}

} // namespace velmora
