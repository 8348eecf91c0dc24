#include "IbusEngineNote.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <memory>

namespace velmora {

namespace {

constexpr std::string_view kEnginePrefix = "velmora-typing-";
constexpr std::string_view kNotePrefix = "velmora-ibus-engine-";

std::optional<pid_t> NumberAfter(std::string_view text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(prefix.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

std::string ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::array<char, 256> buffer{};
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    ::close(fd);
    return got > 0 ? std::string(buffer.data(), static_cast<std::size_t>(got)) : std::string();
}

} // namespace

std::string IbusEngineNameOf(pid_t pid) {
    return std::string(kEnginePrefix) + std::to_string(pid);
}

std::optional<pid_t> IbusEngineCopy(const std::string& engine) {
    return NumberAfter(engine, kEnginePrefix);
}

TIbusEngineNotes::TIbusEngineNotes(std::string folder, pid_t pid) : FFolder(std::move(folder)), FPid(pid) {}

bool TIbusEngineNotes::Write(const std::string& userEngine) const {
    if (FFolder.empty()) {
        return false;
    }
    const std::string path = FFolder + "/" + std::string(kNotePrefix) + std::to_string(FPid);
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, userEngine.data(), userEngine.size()) == static_cast<ssize_t>(userEngine.size());
    ::close(fd);
    return written && ::rename(temporary.c_str(), path.c_str()) == 0;
}

void TIbusEngineNotes::Remove() const {
    if (!FFolder.empty()) {
        ::unlink((FFolder + "/" + std::string(kNotePrefix) + std::to_string(FPid)).c_str());
    }
}

std::vector<TIbusEngineNote> TIbusEngineNotes::LeftBehind(const std::function<bool(pid_t)>& running) const {
    std::vector<TIbusEngineNote> notes;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(FFolder.empty() ? nullptr : ::opendir(FFolder.c_str()),
                                                     &::closedir);
    if (!folder) {
        return notes;
    }
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::optional<pid_t> copy = NumberAfter(entry->d_name, kNotePrefix);
        if (!copy || *copy == FPid || running(*copy)) {
            continue;
        }
        const std::string path = FFolder + "/" + entry->d_name;
        notes.push_back({*copy, ReadSmallFile(path), path});
    }
    return notes;
}

std::optional<std::string> IbusEngineToPutBack(const std::string& global, const std::vector<TIbusEngineNote>& left,
                                               const std::function<bool(pid_t)>& running) {
    const std::optional<pid_t> copy = IbusEngineCopy(global);
    if ((!global.empty() && !copy) || (copy && running(*copy))) {
        return std::nullopt; // the user's own engine, or a copy that is typing now
    }
    // The note of the copy whose engine is global, else any note a copy left.
    const auto note = std::find_if(left.begin(), left.end(),
                                   [&](const TIbusEngineNote& n) { return copy == n.copy && !n.userEngine.empty(); });
    const auto any = std::find_if(left.begin(), left.end(), [](const TIbusEngineNote& n) {
        return !n.userEngine.empty() && !IbusEngineCopy(n.userEngine);
    });
    if (note != left.end() && !IbusEngineCopy(note->userEngine)) {
        return note->userEngine;
    }
    return any != left.end() ? std::optional(any->userEngine) : std::nullopt;
}

bool ProcessRunning(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace velmora
