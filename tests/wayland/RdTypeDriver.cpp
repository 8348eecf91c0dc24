// Types the contents of files through the RemoteDesktop portal typist, with the user's layout read from the
// compositor, and prints what it did and what it reported.
//
//   velmora_rd_type_driver FILE...
// VELMORA_RD_ROWS=paste types the files as rows that paste, =secret-paste as secret rows that would paste.
#include "platform/TypingQueue.h"
#include "platform/portal/RemoteDesktopSender.h"
#include "platform/wayland/WaylandLayout.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
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
    const auto layout = velmora::ReadLayoutKeysyms();
    std::cout << "layout_keysyms=" << (layout ? layout->size() : 0) << std::endl;
    auto ownSender = std::make_unique<velmora::TRemoteDesktopSender>(layout);
    const velmora::TRemoteDesktopSender& sender = *ownSender;
    velmora::TTypingQueue typist(std::move(ownSender));
    typist.SetProblemHandler([](const std::string& message) { std::cout << "problem: " << message << std::endl; });
    const std::string rows = std::getenv("VELMORA_RD_ROWS") != nullptr ? std::getenv("VELMORA_RD_ROWS") : "";
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        velmora::TTypingRequest request({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
        request.paste = rows == "paste" || rows == "secret-paste";
        request.secret = rows == "secret-paste";
        typist.TypeText(request);
    }
    // The GUI thread's event loop runs meanwhile, as in the program: D-Bus delivers signals only once it has run.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!typist.WaitUntilIdle(std::chrono::milliseconds(20))) {
        if (std::chrono::steady_clock::now() > end) {
            std::cerr << "typing did not end within 60 s\n";
            return 1;
        }
        QCoreApplication::processEvents();
    }
    const velmora::TRemoteTypingStats stats = sender.Stats();
    std::cout << "texts=" << stats.texts << " keysyms=" << stats.keysyms << " off_layout=" << stats.offLayout
              << " refused=" << stats.refused << " pasted=" << stats.pasted << std::endl;
    return stats.refused == 0 ? 0 : 1;
}
