// Types the contents of files through the real X11 typist, one text per file, and prints what the typist did.
//
//   velmora_type_driver [--stop-after-ms N] [--paste] [--secret] [--linger] FILE...
//
// --paste and --secret type the files as rows that paste, or secret ones. With --linger the driver stays after
// the texts until it is killed (its clipboard, the user's content put back, goes with it).
//   velmora_type_driver --write-random SEED LENGTH DISTINCT FILE   # writes a random text (UTF-8) to FILE
//   velmora_type_driver --group [N]             # locks layout group N (0 is the first), then prints the locked one
//   velmora_type_driver --tap KEYCODE           # presses and releases the key through XTest, as a user's key
//
// What the typist reports it could not type goes to standard error as "problem: ...".
// Without --stop-after-ms it waits until every text is typed and the keymap is back. With it, it destroys the
// typist N ms after queueing (the rest of the queue is dropped) and prints how long the destruction took.
#include "core/TextCodec.h"
#include "platform/RandomText.h"
#include "platform/TypingQueue.h"
#include "platform/x11/X11TextSender.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::system_clock;

long long Nanoseconds(const std::optional<Clock::time_point>& moment) {
    if (!moment) {
        return 0;
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(moment->time_since_epoch()).count();
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void PrintStats(const velmora::TTypingStats& stats) {
    std::cout << "texts=" << stats.texts << " without_focus=" << stats.withoutFocus
              << " interrupted=" << stats.interrupted << " strokes=" << stats.strokes << " dropped=" << stats.dropped
              << " keymap_changes=" << stats.keymapChanges << " forced_releases=" << stats.forcedReleases
              << " first_key_ns=" << Nanoseconds(stats.firstKey) << " last_key_ns=" << Nanoseconds(stats.lastKey)
              << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--write-random") {
        std::mt19937 random(static_cast<std::mt19937::result_type>(std::stoul(argv[2])));
        std::ofstream(argv[5], std::ios::binary)
            << velmora::UnicodeToText(velmora::RandomText(random, std::stoul(argv[3]), std::stoul(argv[4])));
        return 0;
    }
    if ((argc == 2 || argc == 3) && std::string(argv[1]) == "--group") {
        const velmora::TXDisplayPtr display(XOpenDisplay(nullptr));
        XkbStateRec state{};
        if (display && argc == 3) {
            XkbLockGroup(display.get(), XkbUseCoreKbd, static_cast<unsigned>(std::stoi(argv[2])));
            XSync(display.get(), False);
        }
        if (!display || XkbGetState(display.get(), XkbUseCoreKbd, &state) != Success) {
            return 1;
        }
        std::cout << static_cast<int>(state.locked_group) << std::endl;
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--tap") {
        const velmora::TXDisplayPtr display(XOpenDisplay(nullptr));
        if (!display) {
            return 1;
        }
        for (const Bool press : {True, False}) {
            XTestFakeKeyEvent(display.get(), static_cast<unsigned>(std::stoi(argv[2])), press, CurrentTime);
        }
        XSync(display.get(), False);
        return 0;
    }
    std::optional<int> stopAfterMs;
    bool paste = false;
    bool secret = false;
    bool linger = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--stop-after-ms" && i + 1 < argc) {
            stopAfterMs = std::stoi(argv[++i]);
        } else if (arg == "--linger") {
            linger = true;
        } else if (arg == "--paste" || arg == "--secret") {
            (arg == "--paste" ? paste : secret) = true;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << "usage: velmora_type_driver [--stop-after-ms N] FILE...\n";
        return 2;
    }
    try {
        std::vector<std::string> texts;
        for (const std::string& path : files) {
            texts.push_back(ReadFile(path));
        }
        auto ownSender = std::make_unique<velmora::TX11TextSender>();
        const velmora::TX11TextSender& sender = *ownSender;
        auto typist = std::make_unique<velmora::TTypingQueue>(std::move(ownSender));
        typist->SetProblemHandler([](const std::string& message) { std::cerr << "problem: " << message << std::endl; });
        for (const std::string& text : texts) {
            velmora::TTypingRequest request(text);
            request.paste = paste;
            request.secret = secret;
            typist->TypeText(request);
        }
        if (stopAfterMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(*stopAfterMs));
            const velmora::TTypingStats stats = sender.Stats();
            const auto start = std::chrono::steady_clock::now();
            typist.reset();
            const auto took = std::chrono::steady_clock::now() - start;
            PrintStats(stats);
            std::cout << "destroyed_ms=" << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                      << std::endl;
            return 0;
        }
        if (!typist->WaitUntilIdle(std::chrono::minutes(2))) {
            std::cerr << "velmora_type_driver: typing did not finish within 2 minutes\n";
            return 1;
        }
        PrintStats(sender.Stats());
        while (linger) {
            ::pause();
        }
    } catch (const std::exception& error) {
        std::cerr << "velmora_type_driver: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
