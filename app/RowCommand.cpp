#include "RowCommand.h"

#include "PrivateSocket.h"

#include "core/FdWait.h"
#include "core/FileSystem.h"
#include "core/PosixFileSystem.h"
#include "core/ProcessExecutable.h"
#include "core/ProgramFolders.h"
#include "core/UniqueFd.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace velmora {

namespace {

constexpr const char* kRowVerb = "type-row ";
constexpr const char* kHotkeyVerb = "hotkey ";
constexpr const char* kPickVerb = "pick";
constexpr int kAnswerTimeoutMs = 5000;

} // namespace

std::string RowCommandSocketPath(const std::string& copyTag, const char* runtimeDir, const char* tmpDir, unsigned uid) {
    const std::string name = "velmora-" + copyTag + ".sock";
    if (runtimeDir != nullptr && *runtimeDir == '/') {
        return std::string(runtimeDir) + "/" + name;
    }
    // A folder of the user's own in the shared one: a name there can be taken by anybody, a private folder not.
    const std::string shared = tmpDir != nullptr && *tmpDir == '/' ? tmpDir : "/tmp";
    return shared + "/velmora-" + std::to_string(uid) + "/" + name;
}

std::string RowCommandSocketPath(const std::string& copyTag) {
    return RowCommandSocketPath(copyTag, std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), ::getuid());
}

std::string ThisCopyTag(const std::string& listFolder) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(listFolder, error);
    return CopyTag(error ? listFolder : resolved.string());
}

bool CopyRuns(const std::string& copyTag) {
    return SomeoneListens(RowCommandSocketPath(copyTag));
}

std::string ExecutablePath() {
    // Where the file was replaced (an upgrade) while this copy runs, the command names the path, where the new one is.
    const std::string path = ProcessExecutable();
    return path.empty() ? std::string("velmora") : path;
}

std::string RowCommandLine() {
    return ExecutablePath() + " " + kTypeRowOption;
}

std::string RowRequestLine(const std::string& option, std::size_t number) {
    if (option == kTypeRowOption) {
        return kRowVerb + std::to_string(number);
    }
    if (option == kHotkeyOption) {
        return kHotkeyVerb + std::to_string(number);
    }
    if (option == kPickOption) {
        return kPickVerb;
    }
    return {};
}

std::optional<std::size_t> ParseRowNumber(const std::string& argument) {
    if (argument.empty() || argument.size() > 9 ||
        !std::all_of(argument.begin(), argument.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const std::size_t row = std::stoul(argument);
    if (row == 0) {
        return std::nullopt;
    }
    return row;
}

std::string AnswerRowRequest(const std::string& request, const TRowList* rows, THotKeys* hotkeys) {
    const auto numberAfter = [&request](const std::string& verb) {
        return request.rfind(verb, 0) == 0 ? ParseRowNumber(request.substr(verb.size())) : std::nullopt;
    };
    const std::optional<std::size_t> row = numberAfter(kRowVerb);
    const std::optional<std::size_t> id = numberAfter(kHotkeyVerb);
    const bool pick = request == kPickVerb;
    if (!row && !id && !pick) {
        return "error: Velmora did not understand the request; use: velmora --type-row N (N: the row's No.).";
    }
    if (rows == nullptr || hotkeys == nullptr) {
        return "error: Velmora is starting or ending; try again in a moment.";
    }
    if (pick) {
        return hotkeys->OpenPicker() ? "ok" : "error: Velmora has no picker open to requests yet; try again.";
    }
    if (id) {
        // A shortcut Velmora wrote at a Start: it names the registration, not the row's place in the list now.
        if (!hotkeys->HandleHotKey(static_cast<int>(*id))) {
            return "error: this shortcut types nothing now: Velmora was stopped, or no row has its hotkey any more; "
                   "press Start in Velmora's window.";
        }
        return "ok";
    }
    const std::string name = "Row " + std::to_string(*row);
    if (*row > rows->Count()) {
        return "error: " + name + " does not exist: the list has " + std::to_string(rows->Count()) + " rows.";
    }
    if (!hotkeys->TypeEntryOf(rows->Item(*row - 1).get())) {
        return "error: " + name + " is not in force: check it and press Start in Velmora's window.";
    }
    return "ok";
}

bool IsRowCommand(const std::string& firstArgument) {
    return firstArgument == kTypeRowOption || firstArgument == kHotkeyOption || firstArgument == kPickOption;
}

int RunRowCommand(int argc, char** argv) {
    const std::string option = argc >= 2 ? argv[1] : "";
    const bool pick = option == kPickOption && argc == 2;
    const std::optional<std::size_t> number = argc == 3 ? ParseRowNumber(argv[2]) : std::nullopt;
    if (!pick && (!number || !IsRowCommand(option))) {
        std::cerr << "usage: velmora --type-row N   (N: the row's No. in Velmora's list)\n"
                  << "       velmora --pick         (the running Velmora opens its picker of all rows)" << std::endl;
        return 2;
    }
    // The copy to reach is the one of the list this program would use.
    std::string tag;
    try {
        TPosixFileSystem fs;
        tag = ThisCopyTag(ChooseProgramFolders(fs, TFolderEnvironment::FromProcess()).files);
    } catch (const FileError& error) {
        std::cerr << "velmora: nothing was sent: " << error.what() << std::endl;
        return 1;
    }
    return SendRowRequest(RowCommandSocketPath(tag), RowRequestLine(option, number.value_or(0)));
}

int SendRowRequest(const std::string& socketPath, const std::string& requestLine) {
    try {
        MakePrivateFolder(std::filesystem::path(socketPath).parent_path(), ::getuid());
    } catch (const FileError& error) {
        std::cerr << "velmora: nothing was sent: " << error.what() << std::endl;
        return 1;
    }
    const TFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.Get() < 0 || socketPath.size() >= sizeof address.sun_path) {
        std::cerr << "velmora: cannot reach the running Velmora at " << socketPath << std::endl;
        return 1;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::cerr << "velmora: no running Velmora answers at " << socketPath << " (" << std::strerror(errno)
                  << "); start Velmora, check the row and press Start." << std::endl;
        return 1;
    }
    // Whoever holds the socket is told the row and believed: it must be the user's own program.
    if (const std::optional<uid_t> peer = PeerUid(socket.Get()); peer != ::getuid()) {
        std::cerr << "velmora: nothing was sent: " << socketPath << " is held by "
                  << (peer ? "the user with id " + std::to_string(*peer) : std::string("an unknown user"))
                  << ", not by your Velmora." << std::endl;
        return 1;
    }
    const std::string request = requestLine + "\n";
    if (::send(socket.Get(), request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        std::cerr << "velmora: the running Velmora did not take the request: " << std::strerror(errno) << std::endl;
        return 1;
    }
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    while (answer.find('\n') == std::string::npos && answer.size() < 4096) {
        if (!WaitForFd(socket.Get(), POLLIN, deadline)) {
            break;
        }
        char buffer[512];
        const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    answer = answer.substr(0, answer.find('\n'));
    if (answer == "ok") {
        return 0;
    }
    if (answer.rfind("error: ", 0) == 0) {
        std::cerr << "velmora: " << answer.substr(7) << std::endl;
    } else {
        std::cerr << "velmora: the running Velmora did not answer in time." << std::endl;
    }
    return 1;
}

} // namespace velmora
