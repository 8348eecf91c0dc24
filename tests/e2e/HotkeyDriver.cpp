// Registers a few rows' hotkeys through the real X11 backend and types through the real typist, for the end-to-end
// tests and the latency benchmark.
//
//   velmora_hotkey_driver [--no-typing] ROW...
//   ROW = CHECKED:MODIFIER_INDEX:VIRTUAL_KEY:TEXT   (TEXT may hold \n, \t and \\ escapes)
//
// Prints "ROW <position> <status>" per registry entry and then "READY" once the grabs are in place, "PRESS <flags>
// <key>" for every press that reaches the registry and types something, and "STOPPED" after a Stop.
// Reads commands from standard input, one a line: "start", "stop", "quit" (end of input quits too).

#include "platform/HotkeyRegistry.h"
#include "platform/TypingQueue.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11TextSender.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using namespace velmora;

const char* StatusName(HotkeyStatus status) {
    switch (status) {
    case HotkeyStatus::Registered:
        return "Registered";
    case HotkeyStatus::HeldElsewhere:
        return "HeldElsewhere";
    case HotkeyStatus::HeldByEarlierRow:
        return "HeldByEarlierRow";
    case HotkeyStatus::UnknownKey:
        return "UnknownKey";
    case HotkeyStatus::Unavailable:
        return "Unavailable";
    case HotkeyStatus::NotBound:
        return "NotBound";
    case HotkeyStatus::CaughtByTyping:
        return "CaughtByTyping";
    case HotkeyStatus::Pending:
        return "Pending";
    }
    return "?";
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

TStrItemPtr ParseRow(const std::string& row, bool& checked) {
    const auto first = row.find(':');
    const auto second = row.find(':', first + 1);
    const auto third = row.find(':', second + 1);
    if (first == std::string::npos || second == std::string::npos || third == std::string::npos) {
        throw std::invalid_argument("A row is CHECKED:MODIFIER_INDEX:VIRTUAL_KEY:TEXT, not \"" + row + "\"");
    }
    auto item = std::make_shared<TStrItem>();
    checked = std::stoi(row.substr(0, first)) != 0;
    item->FHKCtrl = static_cast<std::uint8_t>(std::stoi(row.substr(first + 1, second - first - 1)));
    item->FHKChar = std::stoi(row.substr(second + 1, third - second - 1));
    item->FStr = Unescape(row.substr(third + 1));
    return item;
}

/// Says which press reached the registry, then hands the text on (or not, with --no-typing).
class TReportingTypist : public ITypist {
public:
    explicit TReportingTypist(ITypist* next) : FNext(next) {}
    void TypeText(const TTypingRequest& request) override {
        std::cout << "TYPE " << request.bytes.size() << std::endl;
        if (FNext != nullptr) {
            FNext->TypeText(request);
        }
    }
    void SetProblemHandler(TypingProblemHandler handler) override {
        if (FNext != nullptr) {
            FNext->SetProblemHandler(std::move(handler));
        }
    }
    void SetIdleHandler(TypingIdleHandler handler) override {
        if (FNext != nullptr) {
            FNext->SetIdleHandler(std::move(handler));
        }
    }
    void Cancel() override {
        if (FNext != nullptr) {
            FNext->Cancel();
        }
    }

private:
    ITypist* FNext;
};

void Start(THotKeys& hotkeys, const TRowList& rows) {
    hotkeys.Start(rows);
    for (const auto& entry : hotkeys.Entries()) {
        std::size_t position = 0;
        while (position < rows.Count() && rows.Item(position) != entry.item) {
            ++position;
        }
        std::cout << "ROW " << position << ' ' << StatusName(entry.status) << '\n';
    }
    std::cout << "READY" << std::endl;
}

int Run(int argc, char** argv) {
    bool typing = true;
    TRowList rows;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-typing") {
            typing = false;
            continue;
        }
        bool checked = false;
        auto item = ParseRow(arg, checked);
        rows.Append(std::move(item), checked);
    }

    TX11HotkeyService x11Hotkeys;
    TTypingQueue x11Typist(std::make_unique<TX11TextSender>(), &x11Hotkeys);
    TReportingTypist typist(typing ? &x11Typist : nullptr);
    THotKeys hotkeys(x11Hotkeys, typist);
    x11Hotkeys.SetPressHandler([&hotkeys](int id) {
        for (const auto& entry : hotkeys.Entries()) {
            if (entry.id == id) {
                std::cout << "PRESS " << entry.RegisteredModifiers() << ' ' << entry.registeredKey << std::endl;
            }
        }
        hotkeys.HandleHotKey(id);
    });
    Start(hotkeys, rows);

    IEventSource& events = x11Hotkeys;
    std::string pendingInput;
    for (;;) {
        pollfd fds[2] = {{events.FileDescriptor(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            events.ProcessPendingEvents();
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[256];
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0) {
                return 0;
            }
            pendingInput.append(buffer, static_cast<std::size_t>(got));
            for (auto end = pendingInput.find('\n'); end != std::string::npos; end = pendingInput.find('\n')) {
                const std::string command = pendingInput.substr(0, end);
                pendingInput.erase(0, end + 1);
                if (command == "quit") {
                    return 0;
                }
                if (command == "stop") {
                    hotkeys.Stop();
                    std::cout << "STOPPED" << std::endl;
                } else if (command == "start") {
                    Start(hotkeys, rows);
                } else if (command.rfind("delete ", 0) == 0) {
                    // The list's Delete while running: the row goes, its registration stays until Stop.
                    rows.Delete(std::stoul(command.substr(7)));
                    std::cout << "DELETED" << std::endl;
                }
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "velmora_hotkey_driver: " << error.what() << std::endl;
        return 1;
    }
}
