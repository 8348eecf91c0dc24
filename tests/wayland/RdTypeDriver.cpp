// Types the contents of files through the RemoteDesktop portal typist, with the user's layout read from the
// compositor, and prints what it did and what it reported.
//
//   velmora_rd_type_driver [--chords] [--ibus] [--stdin] FILE...
// --chords: by the layout's keys and their modifier keys, as on KDE; --ibus: through Velmora's IBus engine where the
// focused application has an input method, as on GNOME; --stdin: then, in the same session, each file named on a
// line of standard input, printing "typed queued_ns=N idle_ns=N" (nanoseconds since the epoch) once it went, for
// bench/desktop_typing_bench.sh.
// VELMORA_RD_ROWS=paste types the files as rows that paste, =secret-paste as secret rows that would paste.
#include "platform/TypingQueue.h"
#include "platform/portal/RemoteDesktopSender.h"
#include "platform/wayland/WaylandLayout.h"

#include <QCoreApplication>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

long long Nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

/// Runs the GUI thread's events until the typist is idle, up to `limit`; false when it ran out. D-Bus delivers the
/// portal's answers only while it runs, as in the program.
bool RunUntilIdle(velmora::TTypingQueue& typist, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!typist.WaitUntilIdle(std::chrono::milliseconds(2))) {
        if (std::chrono::steady_clock::now() > end) {
            std::cerr << "typing did not end within " << limit.count() << " s\n";
            return false;
        }
        QCoreApplication::processEvents();
    }
    return true;
}

/// The next line of standard input, the GUI thread's events running meanwhile; false at its end.
bool NextLine(std::string& line) {
    line.clear();
    char c = 0;
    for (;;) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 20) == 0) {
            QCoreApplication::processEvents();
            continue;
        }
        if (::read(STDIN_FILENO, &c, 1) != 1) {
            return !line.empty();
        }
        if (c == '\n') {
            return true;
        }
        line += c;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool chords = false, ibus = false, fromInput = false;
    int first = 1;
    for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
        const std::string option = argv[first];
        chords |= option == "--chords";
        ibus |= option == "--ibus";
        fromInput |= option == "--stdin";
    }
    if (first >= argc) {
        std::cerr << "usage: velmora_rd_type_driver [--chords] [--ibus] [--stdin] FILE...\n";
        return 2;
    }
    if (!velmora::TRemoteDesktopSender::Offered()) {
        std::cerr << "velmora_rd_type_driver: the portal offers no RemoteDesktop keyboard\n";
        return 1;
    }
    const std::optional<std::string> keymap = velmora::ReadLayoutKeymap();
    const auto layout = keymap ? std::optional(velmora::KeymapKeysyms(*keymap)) : std::nullopt;
    std::cout << "layout_keysyms=" << (layout ? layout->size() : 0) << std::endl;
    auto ownSender = std::make_unique<velmora::TRemoteDesktopSender>(
        layout, std::string(), chords && keymap ? velmora::TLayoutChords::FromKeymap(*keymap) : std::nullopt,
        ibus && keymap ? velmora::UnboundKeycode(*keymap) : 0);
    const velmora::TRemoteDesktopSender& sender = *ownSender;
    velmora::TTypingQueue typist(std::move(ownSender));
    typist.SetProblemHandler([](const std::string& message) { std::cout << "problem: " << message << std::endl; });
    const std::string rows = std::getenv("VELMORA_RD_ROWS") != nullptr ? std::getenv("VELMORA_RD_ROWS") : "";
    for (int i = first; i < argc; ++i) {
        velmora::TTypingRequest request(ReadFile(argv[i]));
        request.paste = rows == "paste" || rows == "secret-paste";
        request.secret = rows == "secret-paste";
        typist.TypeText(request);
    }
    if (!RunUntilIdle(typist, std::chrono::seconds(60))) {
        return 1;
    }
    for (std::string path; fromInput && NextLine(path);) {
        const velmora::TTypingRequest request(ReadFile(path));
        const long long queued = Nanoseconds();
        typist.TypeText(request);
        if (!RunUntilIdle(typist, std::chrono::seconds(60))) {
            return 1;
        }
        std::cout << "typed queued_ns=" << queued << " idle_ns=" << Nanoseconds() << std::endl;
    }
    const velmora::TRemoteTypingStats stats = sender.Stats();
    std::cout << "texts=" << stats.texts << " keysyms=" << stats.keysyms << " off_layout=" << stats.offLayout
              << " refused=" << stats.refused << " pasted=" << stats.pasted << " ime_strokes=" << stats.imeStrokes
              << " ime_key_waits=" << stats.imeKeyWaits << std::endl;
    return stats.refused == 0 ? 0 : 1;
}
