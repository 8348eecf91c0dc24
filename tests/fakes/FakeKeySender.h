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
/// "+38" / "-38" for a key press / release, "select 2/1" when the keys go to another group / level than before (the
/// user's, 0/0, at the start of a run), "bind 93=0xe9/0xdf|0xfc" (the levels of each group) and "unbind 93" for
/// keymap changes, "read 5" for a wait until the target has read 5 strokes, "held" when a run found a user's key
/// down and "await user keys" for the wait for it.
class FakeKeySender final : public IKeySender {
public:
    void Bind(const std::vector<TBinding>& bindings) override {
        EXPECT_FALSE(FInStroke) << "the keymap changed in the middle of a run";
        std::string line = "bind";
        for (const TBinding& binding : bindings) {
            line += " " + std::to_string(binding.keycode) + "=";
            for (unsigned group = 0; group < binding.Groups(); ++group) {
                for (unsigned level = 0; level < binding.Levels(); ++level) {
                    line += (level > 0 ? "/" : group > 0 ? "|" : "") + Hex(binding.At(group, level));
                }
            }
        }
        FLog.push_back(line);
    }
    void Unbind(const std::vector<unsigned>& keycodes) override {
        EXPECT_FALSE(FInStroke) << "the keymap changed in the middle of a run";
        std::string line = "unbind";
        for (const unsigned keycode : keycodes) {
            line += " " + std::to_string(keycode);
        }
        FLog.push_back(line);
    }
    bool AwaitTargetRead(std::size_t strokes) override {
        EXPECT_FALSE(FInStroke) << "a wait in the middle of a run";
        FLog.push_back("read " + std::to_string(strokes));
        return !FStopAfterKeys || FKeys < *FStopAfterKeys;
    }
    void Key(unsigned keycode, bool press) override {
        EXPECT_TRUE(FInStroke) << "a key outside a run";
        FLog.push_back((press ? "+" : "-") + std::to_string(keycode));
        ++FKeys;
    }
    void Select(unsigned group, unsigned level) override {
        EXPECT_TRUE(FInStroke) << "a group or level selected outside a run";
        if (group != FGroup || level != FLevel) {
            FLog.push_back("select " + std::to_string(group) + "/" + std::to_string(level));
            FGroup = group;
            FLevel = level;
        }
    }
    ERunStart BeginRun() override {
        EXPECT_FALSE(FInStroke) << "a run began before the one before it ended";
        if (FStopAfterKeys && FKeys >= *FStopAfterKeys) {
            return ERunStart::Stop;
        }
        if (FUserKeyAtKeys && FKeys >= *FUserKeyAtKeys && FUserKeyChecks > 0) {
            --FUserKeyChecks;
            FLog.push_back("held");
            return ERunStart::KeysHeld;
        }
        FInStroke = true;
        ++FRuns;
        return ERunStart::Go;
    }
    void EndRun(std::size_t /*strokesSent*/) override {
        EXPECT_TRUE(FInStroke) << "a run ended that had not begun";
        FInStroke = false;
        FGroup = 0;
        FLevel = 0;
    }
    bool AwaitUserKeys() override {
        EXPECT_FALSE(FInStroke) << "a wait for the user's keys in the middle of a run";
        FLog.push_back("await user keys");
        return !FStopInUserWait;
    }

    /// Makes BeginRun report Stop once this many key events were sent (the focus moved away), and a wait for the
    /// target report that the typist stops.
    void StopAfterKeys(std::size_t count) { FStopAfterKeys = count; }
    /// Makes the user hold a key once this many key events were sent, seen by `checks` BeginRun calls.
    void UserKeyAtKeys(std::size_t count, int checks) {
        FUserKeyAtKeys = count;
        FUserKeyChecks = checks;
    }
    /// Makes AwaitUserKeys report that the typist is stopping.
    void StopInUserWait() { FStopInUserWait = true; }
    /// How many times BeginRun allowed strokes.
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
    unsigned FGroup = 0;
    unsigned FLevel = 0;
    std::optional<std::size_t> FStopAfterKeys;
    std::optional<std::size_t> FUserKeyAtKeys;
    int FUserKeyChecks = 0;
    bool FStopInUserWait = false;
    std::size_t FRuns = 0;
};

} // namespace velmora
