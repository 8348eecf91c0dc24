// Start with many checked rows: how long registering every row takes (and Stop releasing them), on the real X11
// hotkey service when a display is there, else on an in-memory service. Rows cycle through all 144 combinations,
// so that all but the first 144 are conflicts, reported per row.
//
//   velmora_bench_start [ROWS...]        (default: 1000 10000)
//   velmora_bench_start --memory [ROWS...]

#include "platform/HotkeyRegistry.h"
#include "platform/x11/X11HotkeyService.h"

#include "core/KeyNames.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace velmora;
using Clock = std::chrono::steady_clock;

/// An in-memory service: a combination is refused when another id holds it.
class TMemoryHotkeys final : public IHotkeyService {
public:
    THotkeyResult RegisterHotKey(const THotkeyRequest& request) override {
        const auto [it, inserted] = FHeld.emplace(std::make_pair(request.modifiers, request.virtualKey), request.id);
        return {inserted || it->second == request.id ? HotkeyStatus::Registered : HotkeyStatus::HeldByEarlierRow, {}};
    }
    void UnregisterHotKey(int id) override {
        for (auto it = FHeld.begin(); it != FHeld.end(); ++it) {
            if (it->second == id) {
                FHeld.erase(it);
                return;
            }
        }
    }
    void SetPressHandler(HotkeyPressHandler) override {}

private:
    std::map<std::pair<unsigned, std::int32_t>, int> FHeld;
};

/// Types nothing.
class TSilentTypist final : public ITypist {
public:
    void TypeText(const TTypingRequest&) override {}
    void SetProblemHandler(TypingProblemHandler) override {}
    void SetIdleHandler(TypingIdleHandler) override {}
    void Cancel() override {}
};

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

void Measure(IHotkeyService& service, std::size_t count) {
    TRowList rows;
    for (std::size_t row = 0; row < count; ++row) {
        auto item = std::make_shared<TStrItem>();
        item->FStr = "row " + std::to_string(row);
        item->FHKCtrl = static_cast<std::uint8_t>(row % 3);
        item->FHKChar = KeyChoices()[row / 3 % 48].code;
        rows.Append(std::move(item), true);
    }
    TSilentTypist typist;
    THotKeys hotkeys(service, typist);

    const auto started = Clock::now();
    hotkeys.Start(rows);
    const auto registered = Clock::now();
    std::map<HotkeyStatus, std::size_t> statuses;
    for (const auto& entry : hotkeys.Entries()) {
        ++statuses[entry.status];
    }
    hotkeys.Stop();
    const auto stopped = Clock::now();

    std::printf("%6zu checked rows: Start %8.1f ms, Stop %8.1f ms; registered %zu, held by an earlier row %zu, "
                "held elsewhere %zu, unknown key %zu\n",
                count, Milliseconds(registered - started), Milliseconds(stopped - registered),
                statuses[HotkeyStatus::Registered], statuses[HotkeyStatus::HeldByEarlierRow],
                statuses[HotkeyStatus::HeldElsewhere], statuses[HotkeyStatus::UnknownKey]);
}

} // namespace

int main(int argc, char** argv) {
    bool memory = false;
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--memory") {
            memory = true;
        } else {
            counts.push_back(std::stoul(arg));
        }
    }
    if (counts.empty()) {
        counts = {1000, 10000};
    }
    try {
        const char* display = std::getenv("DISPLAY");
        if (!memory && display != nullptr && *display != '\0') {
            TX11HotkeyService x11Hotkeys;
            std::printf("X11 hotkey service on %s\n", display);
            for (const std::size_t count : counts) {
                Measure(x11Hotkeys, count);
            }
        } else {
            std::printf("in-memory hotkey service (no display, or --memory)\n");
            TMemoryHotkeys service;
            for (const std::size_t count : counts) {
                Measure(service, count);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmora_bench_start: %s\n", error.what());
        return 1;
    }
    return 0;
}
