// Types the contents of files through the RemoteDesktop portal typist, with the user's layout read from the
// compositor, and prints what it did and what it reported. With "-", reads the files' names from standard input,
// one a line, types each and prints "typed N" once it is typed; ends at a line "-" or the end of the input.
//
//   velmora_rd_type_driver FILE...
//   velmora_rd_type_driver -
#include "platform/TypingQueue.h"
#include "platform/portal/RemoteDesktopSender.h"
#include "platform/wayland/WaylandLayout.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: velmora_rd_type_driver FILE...\n";
        return 2;
    }
    if (!velmora::TRemoteDesktopSender::Offered()) {
        std::cerr << "velmora_rd_type_driver: the portal offers no RemoteDesktop keyboard\n";
        return 1;
    }
    const auto keymap = velmora::ReadLayoutKeymap();
    std::optional<std::set<std::uint32_t>> layout;
    if (keymap) {
        layout = velmora::KeymapKeysyms(*keymap);
    }
    std::cout << "layout_keysyms=" << (layout ? layout->size() : 0) << std::endl;
    // VELMORA_INPUT_METHOD=1: the desktop passes keys through IBus, as GNOME does.
    const char* inputMethod = std::getenv("VELMORA_INPUT_METHOD");
    const bool viaIbus = inputMethod != nullptr && std::string(inputMethod) == "1";
    auto ownSender = std::make_unique<velmora::TRemoteDesktopSender>(
        layout, std::string(), std::nullopt, viaIbus && keymap ? velmora::UnboundKeycode(*keymap) : 0);
    const velmora::TRemoteDesktopSender& sender = *ownSender;
    velmora::TTypingQueue typist(std::move(ownSender));
    typist.SetProblemHandler([](const std::string& message) { std::cout << "problem: " << message << std::endl; });
    const auto type = [&typist](const std::string& name) {
        std::ifstream file(name, std::ios::binary);
        typist.TypeText({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}, 0);
    };
    // The GUI thread's event loop runs meanwhile, as in the program: D-Bus delivers signals only once it has run.
    const auto typed = [&typist] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!typist.WaitUntilIdle(std::chrono::milliseconds(20))) {
            if (std::chrono::steady_clock::now() > end) {
                std::cerr << "typing did not end within 60 s\n";
                return false;
            }
            QCoreApplication::processEvents();
        }
        return true;
    };
    if (std::string(argv[1]) == "-") {
        std::size_t count = 0;
        for (std::string name; std::getline(std::cin, name) && name != "-";) {
            type(name);
            if (!typed()) {
                return 1;
            }
            std::cout << "typed " << ++count << std::endl;
        }
    } else {
        for (int i = 1; i < argc; ++i) {
            type(argv[i]);
        }
        if (!typed()) {
            return 1;
        }
    }
    const velmora::TRemoteTypingStats stats = sender.Stats();
    std::cout << "texts=" << stats.texts << " keysyms=" << stats.keysyms << " off_layout=" << stats.offLayout
              << " refused=" << stats.refused << " ime_strokes=" << stats.imeStrokes
              << " ime_key_waits=" << stats.imeKeyWaits << std::endl;
    return stats.refused == 0 ? 0 : 1;
}
