#pragma once

#include "platform/x11/KeyPlayback.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// A key sender that records what the typist does, as one readable line per action:
/// "+38" / "-38" for a key press / release, "bind 93=0xe9/0xdf" for a keymap change, "wait" for a wait.
class TRecordingKeySender final : public IKeySender {
public:
    void Bind(const std::vector<TBinding>& bindings) override {
        EXPECT_FALSE(FInStroke) << "the keymap changed in the middle of a stroke";
        std::string line = "bind";
        for (const TBinding& binding : bindings) {
            line += " " + std::to_string(binding.keycode) + "=" + Hex(binding.plain) + "/" + Hex(binding.shifted);
        }
        FLog.push_back(line);
    }
    void AwaitTargetRead() override {
        EXPECT_FALSE(FInStroke) << "a wait in the middle of a stroke";
        FLog.push_back("wait");
    }
    void Key(unsigned keycode, bool press) override {
        FLog.push_back((press ? "+" : "-") + std::to_string(keycode));
        ++FKeys;
    }
    bool BeginStroke() override {
        EXPECT_FALSE(FInStroke) << "a stroke began before the one before it ended";
        FInStroke = !FStopAfterKeys || FKeys < *FStopAfterKeys;
        return FInStroke;
    }
    void EndStroke() override {
        EXPECT_TRUE(FInStroke) << "a stroke ended that had not begun";
        FInStroke = false;
    }

    /// Makes BeginStroke report false once this many key events were sent (the focus moved away).
    void StopAfterKeys(std::size_t count) { FStopAfterKeys = count; }
    /// Everything recorded so far.
    const std::vector<std::string>& Log() const { return FLog; }

private:
    static std::string Hex(KeysymValue value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", value);
        return text;
    }

    std::vector<std::string> FLog;
    std::size_t FKeys = 0;
    bool FInStroke = false;
    std::optional<std::size_t> FStopAfterKeys;
};

} // namespace velmora
