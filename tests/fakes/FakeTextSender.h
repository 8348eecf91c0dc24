#pragma once

#include "core/TextCodec.h"
#include "core/TypingScript.h"
#include "platform/PlatformError.h"
#include "platform/TextSender.h"
#include "platform/TypingListener.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

/// What the typist did, one line per act, from any thread: "start TEXT" / "end" from the listener, "session",
/// "send TEXT", "stopped" from the sender.
class TTypingLog final : public ITypingListener {
public:
    void Add(const std::string& line) {
        std::scoped_lock lock(FMutex);
        FLines.push_back(line);
        FChanged.notify_all();
    }
    /// Waits (up to 5 s) until `line` is in the log `times` times.
    bool WaitFor(const std::string& line, std::ptrdiff_t times = 1) {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, std::chrono::seconds(5),
                                 [&] { return std::count(FLines.begin(), FLines.end(), line) >= times; });
    }
    std::vector<std::string> Lines() {
        std::scoped_lock lock(FMutex);
        return FLines;
    }

    void TypingStarts(const std::u32string& text, const std::vector<TKeyChord>& keys) override {
        std::string line = "start " + UnicodeToText(text);
        for (const TKeyChord& key : keys) {
            line += " " + ChordName(key);
        }
        Add(line);
    }
    void TypingEnded() override { Add("end"); }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::string> FLines;
};

/// A sender that acts on the text's first word: "fail" throws PlatformError, "lack" returns the rest as characters
/// it could not type, "hold" waits until the typist stops, "moved" says the rest may not follow; anything else is
/// sent. With a session, the first text
/// opens one ("session"), which waits until Answer() says whether the desktop gave a keyboard.
class FakeTextSender final : public ITextSender {
public:
    FakeTextSender(TTypingLog& log, bool withSession) : FLog(log), FWithSession(withSession) {}

    /// The desktop's answer to the pending session: given, or refused.
    void Answer(bool given) { FAnswer = given ? 1 : -1; }

    TSendOutcome Send(const std::u32string& text, std::int32_t /*pressedKey*/, ITypingTurn& turn) override {
        if (FWithSession && !FSession) {
            FLog.Add("session");
            int answer = 0;
            while ((answer = FAnswer.exchange(0)) == 0 && turn.Pause(std::chrono::milliseconds(5))) {
            }
            if (answer <= 0) {
                throw TypingRefused("the user did not allow it.");
            }
            FSession = true;
        }
        const std::string bytes = UnicodeToText(text);
        turn.KeysBegin();
        FLog.Add("send " + bytes);
        if (bytes.starts_with("fail")) {
            throw PlatformError("The connection broke.");
        }
        if (bytes.starts_with("hold")) {
            while (turn.Pause(std::chrono::milliseconds(5))) {
            }
            FLog.Add("stopped");
        }
        if (bytes.starts_with("moved")) {
            TSendOutcome stopped;
            stopped.stopped = true;
            return stopped;
        }
        if (bytes.starts_with("lack ")) {
            return {text.substr(5), "no key has them."};
        }
        return {};
    }

private:
    TTypingLog& FLog;
    const bool FWithSession;
    bool FSession = false;
    std::atomic<int> FAnswer = 0; ///< 1 given, -1 refused, 0 not yet
};

} // namespace velmora
