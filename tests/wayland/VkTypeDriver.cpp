// Types the contents of files through the virtual-keyboard typist, one text per file, and prints what it did and
// when (nanoseconds since the epoch: the driver's start, the texts queued, the first and the last key).
//
//   velmora_vk_type_driver [--after-ms N] [--keys] FILE...   # N: the texts are queued N ms after the keyboard was
//                                                            # made; --keys: the texts hold key tokens ({TAB})
// VELMORA_VK_PACING=NEW,BEFORE,AFTER,BREAK (milliseconds) replaces the typist's pauses (TVirtualKeyboardPacing), for
// bench/wayland_typing_bench.sh to compare them.
#include "platform/PlatformError.h"
#include "platform/TypingQueue.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/VirtualKeyboardSender.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::system_clock;

long long Nanoseconds(const std::optional<Clock::time_point>& moment) {
    return moment ? std::chrono::duration_cast<std::chrono::nanoseconds>(moment->time_since_epoch()).count() : 0;
}

velmora::TVirtualKeyboardPacing PacingFromEnvironment() {
    velmora::TVirtualKeyboardPacing pacing;
    const char* text = std::getenv("VELMORA_VK_PACING");
    long newKeyboard = 0, before = 0, after = 0, afterBreak = 0;
    if (text != nullptr && std::sscanf(text, "%ld,%ld,%ld,%ld", &newKeyboard, &before, &after, &afterBreak) == 4) {
        pacing = {std::chrono::milliseconds(newKeyboard), std::chrono::milliseconds(before),
                  std::chrono::milliseconds(after), std::chrono::milliseconds(afterBreak)};
    }
    return pacing;
}

} // namespace

int main(int argc, char** argv) {
    const Clock::time_point start = Clock::now();
    int first = 1;
    std::chrono::milliseconds after(0);
    if (argc > 2 && std::string(argv[1]) == "--after-ms") {
        after = std::chrono::milliseconds(std::stol(argv[2]));
        first = 3;
    }
    const bool keys = argc > first && std::string(argv[first]) == "--keys";
    first += keys ? 1 : 0;
    if (argc <= first) {
        std::cerr << "usage: velmora_vk_type_driver [--after-ms N] [--keys] FILE...\n";
        return 2;
    }
    try {
        std::vector<std::string> texts;
        for (int i = first; i < argc; ++i) {
            std::ifstream file(argv[i], std::ios::binary);
            if (!file) {
                std::cerr << "cannot read " << argv[i] << "\n";
                return 2;
            }
            texts.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        // With VELMORA_VK_PASTE=1, as the program then does: characters beyond U+FFFF by the compositor's clipboard;
        // with VELMORA_VK_PASTE=rows the texts as rows that paste, through that clipboard.
        const std::string paste = std::getenv("VELMORA_VK_PASTE") != nullptr ? std::getenv("VELMORA_VK_PASTE") : "";
        auto ownSender = std::make_unique<velmora::TVirtualKeyboardSender>(
            std::make_unique<velmora::TWaylandKeyboard>(), PacingFromEnvironment(),
            paste == "1" || paste == "rows" ? std::make_unique<velmora::TDataControlClipboard>() : nullptr,
            velmora::PasteChord::CtrlV, paste == "1");
        const velmora::TVirtualKeyboardSender& sender = *ownSender;
        velmora::TTypingQueue typist(std::move(ownSender));
        std::atomic<bool> failed = false;
        typist.SetProblemHandler([&failed](const std::string& message) {
            std::cerr << "problem: " << message << std::endl;
            failed = true;
        });
        std::this_thread::sleep_for(after);
        const Clock::time_point queued = Clock::now();
        for (const std::string& text : texts) {
            velmora::TTypingRequest request(text);
            request.script.keys = keys;
            request.paste = paste == "rows";
            typist.TypeText(request);
        }
        if (!typist.WaitUntilIdle(std::chrono::seconds(60))) {
            std::cerr << "typing did not end within 60 s\n";
            return 1;
        }
        const velmora::TVirtualTypingStats stats = sender.Stats();
        std::cout << "texts=" << stats.texts << " strokes=" << stats.strokes << " keymaps=" << stats.keymaps
                  << " pasted=" << stats.pasted << " failed=" << (failed ? 1 : 0) << " start_ns=" << Nanoseconds(start)
                  << " queued_ns=" << Nanoseconds(queued) << " first_key_ns=" << Nanoseconds(stats.firstKey)
                  << " last_key_ns=" << Nanoseconds(stats.lastKey) << std::endl;
        return failed ? 1 : 0;
    } catch (const velmora::PlatformError& error) {
        std::cerr << "velmora_vk_type_driver: " << error.what() << "\n";
        return 1;
    }
}
