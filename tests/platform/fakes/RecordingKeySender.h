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
/// "+38" / "-38" for a key press / release, "bind 93=0xe9/0xdf" for a keymap change, "wait" for a wait, "held" when
/// a stroke found a user's key down and "await user keys" for the wait for it.
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
    EStrokeStart BeginStroke() override {
        EXPECT_FALSE(FInStroke) << "a stroke began before the one before it ended";
        if (FStopAfterKeys && FKeys >= *FStopAfterKeys) {
            return EStrokeStart::Stop;
        }
        if (FUserKeyAtKeys && FKeys >= *FUserKeyAtKeys && FUserKeyChecks > 0) {
            --FUserKeyChecks;
            FLog.push_back("held");
            return EStrokeStart::KeysHeld;
        }
        FInStroke = true;
        ++FRuns;
        return EStrokeStart::Go;
    }
    void EndStroke() override {
        EXPECT_TRUE(FInStroke) << "a stroke ended that had not begun";
        FInStroke = false;
    }
    bool AwaitUserKeys() override {
        EXPECT_FALSE(FInStroke) << "a wait for the user's keys in the middle of a stroke";
        FLog.push_back("await user keys");
        return !FStopInUserWait;
    }

    /// Makes BeginStroke report false once this many key events were sent (the focus moved away).
    void StopAfterKeys(std::size_t count) { FStopAfterKeys = count; }
    /// Makes the user hold a key once this many key events were sent, seen by `checks` BeginStroke calls.
    void UserKeyAtKeys(std::size_t count, int checks) {
        FUserKeyAtKeys = count;
        FUserKeyChecks = checks;
    }
    /// Makes AwaitUserKeys report that the typist is stopping.
    void StopInUserWait() { FStopInUserWait = true; }
    /// How many times BeginStroke allowed strokes.
    std::size_t Runs() const { return FRuns; }
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
    std::optional<std::size_t> FUserKeyAtKeys;
    int FUserKeyChecks = 0;
    bool FStopInUserWait = false;
    std::size_t FRuns = 0;
};

} // namespace velmora
