// Types the contents of files through the virtual-keyboard typist, one text per file, and prints what it did.
//
//   velmora_vk_type_driver FILE...
#include "platform/PlatformError.h"
#include "platform/TypingQueue.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/VirtualKeyboardSender.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: velmora_vk_type_driver FILE...\n";
        return 2;
    }
    try {
        std::vector<std::string> texts;
        for (int i = 1; i < argc; ++i) {
            std::ifstream file(argv[i], std::ios::binary);
            if (!file) {
                std::cerr << "cannot read " << argv[i] << "\n";
                return 2;
            }
            texts.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        // With VELMORA_VK_PASTE=1, as the program then does: characters beyond U+FFFF by the compositor's clipboard.
        const char* paste = std::getenv("VELMORA_VK_PASTE");
        auto ownSender = std::make_unique<velmora::TVirtualKeyboardSender>(
            std::make_unique<velmora::TWaylandKeyboard>(), velmora::TVirtualKeyboardSender::kDefaultSettle,
            paste != nullptr && std::string(paste) == "1" ? std::make_unique<velmora::TDataControlClipboard>()
                                                          : nullptr);
        const velmora::TVirtualKeyboardSender& sender = *ownSender;
        velmora::TTypingQueue typist(std::move(ownSender));
        std::atomic<bool> failed = false;
        typist.SetProblemHandler([&failed](const std::string& message) {
            std::cerr << "problem: " << message << std::endl;
            failed = true;
        });
        for (const std::string& text : texts) {
            typist.TypeText(text, 0);
        }
        if (!typist.WaitUntilIdle(std::chrono::seconds(60))) {
            std::cerr << "typing did not end within 60 s\n";
            return 1;
        }
        const velmora::TVirtualTypingStats stats = sender.Stats();
        std::cout << "texts=" << stats.texts << " strokes=" << stats.strokes << " keymaps=" << stats.keymaps
                  << " pasted=" << stats.pasted << " failed=" << (failed ? 1 : 0) << std::endl;
        return failed ? 1 : 0;
    } catch (const velmora::PlatformError& error) {
        std::cerr << "velmora_vk_type_driver: " << error.what() << "\n";
        return 1;
    }
}
