// The typist's queue with a recording sender, no window system: order, failures, Stop, the listener around each
// text, and a session that the desktop grants or refuses while texts wait.
#include "platform/TypingQueue.h"

#include "tests/fakes/FakeTextSender.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

class TypingQueueTest : public ::testing::Test {
protected:
    void Make(bool withSession = false) {
        auto sender = std::make_unique<FakeTextSender>(log, withSession);
        fake = sender.get();
        queue = std::make_unique<TTypingQueue>(std::move(sender), &log);
        queue->SetProblemHandler([this](const std::string& message) { log.Add("problem: " + message); });
    }
    void Type(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            queue->TypeText(TTypingRequest(text));
        }
    }
    Lines Idle() {
        EXPECT_TRUE(queue->WaitUntilIdle(std::chrono::seconds(5)));
        return log.Lines();
    }

    TTypingLog log;
    FakeTextSender* fake = nullptr;
    std::unique_ptr<TTypingQueue> queue;
};

TEST_F(TypingQueueTest, TextsGoInOrderEachBetweenListenerCallsAndAFailureOrALackOnlyReports) {
    Make();
    // Bytes that are not UTF-8 are read as a legacy code page; an empty text has no keys.
    Type({"one", "fail two", "", "lack \xc3\xa9\xe6\xbc\xa2\xc3\xa9", "caf\xe9"});
    EXPECT_EQ(Idle(),
              (Lines{"start one", "send one", "end", "start fail two", "send fail two", "end",
                     "problem: The text was not typed whole. The connection broke.", "start lack é漢é",
                     "send lack é漢é", "end", "problem: 3 characters could not be typed (é 漢): no key has them.",
                     "start café", "send café", "end"}));
}

TEST_F(TypingQueueTest, StopEndsTheTextBeingTypedWithItsListenerCallAndDropsTheRest) {
    Make();
    Type({"hold on", "never"});
    ASSERT_TRUE(log.WaitFor("send hold on"));
    queue.reset();
    EXPECT_EQ(log.Lines(), (Lines{"start hold on", "send hold on", "stopped", "end"}));
}

TEST_F(TypingQueueTest, CancelStopsTheTextBeingTypedAndDropsTheQueuedOnesButNotTheNextOnes) {
    Make();
    Type({"hold on", "queued before"});
    ASSERT_TRUE(log.WaitFor("send hold on"));
    queue->Cancel();
    Type({"after"});
    EXPECT_EQ(Idle(), (Lines{"start hold on", "send hold on", "stopped", "end", "start after", "send after", "end"}));
}

TEST_F(TypingQueueTest, ARowsStepsGoInOrderAndASecondPressOfItsHotkeyStopsIt) {
    Make();
    TTypingRequest secret("lack \xc3\xa9{TAB}{DELAY 1}x", 0);
    secret.script.keys = true;
    secret.secret = true;
    secret.paste = true;
    queue->TypeText(secret);
    TTypingRequest moved("moved{DELAY 1}y", 0); // the focus moved: the rest of the text does not follow
    moved.script.keys = true;
    queue->TypeText(moved);
    TTypingRequest held("hold", 0);
    held.source = 7;
    queue->TypeText(held);
    ASSERT_TRUE(log.WaitFor("send hold"));
    queue->TypeText(held); // pressed again: the text ends and is not queued again
    // A key this route cannot press is named; a secret row's characters are not, and it is never pasted.
    EXPECT_EQ(Idle(), (Lines{"start lack éx {TAB}", "send lack é", "send x", "end",
                             "problem: The text was typed, not pasted: a secret row never goes on the clipboard.",
                             "problem: 1 character of a secret row could not be typed: no key has them. 1 key could "
                             "not be pressed ({TAB}): this desktop offers no way to press them.",
                             "start movedy", "send moved", "end", "start hold", "send hold", "stopped", "end"}));
}

TEST_F(TypingQueueTest, TextsWaitForTheSessionARefusalDropsThemWithOneReportAndTheNextTextAsksAgain) {
    Make(true);
    Type({"a"});
    ASSERT_TRUE(log.WaitFor("session"));
    Type({"b", "c"});
    fake->Answer(false);
    const Lines refused{"session", "problem: 3 texts were not typed: the user did not allow it."};
    EXPECT_EQ(Idle(), refused);

    Type({"d"});
    ASSERT_TRUE(log.WaitFor("session", 2));
    Type({"e", "f"});
    fake->Answer(true);
    Lines given = refused;
    given.insert(given.end(),
                 {"session", "start d", "send d", "end", "start e", "send e", "end", "start f", "send f", "end"});
    EXPECT_EQ(Idle(), given);
}

TEST_F(TypingQueueTest, TheIdleHandlerHearsOnceTheLastQueuedTextIsDoneOrDroppedButNotAtStop) {
    Make(true);
    queue->SetIdleHandler([this] { log.Add(queue->WaitUntilIdle(std::chrono::milliseconds(0)) ? "idle" : "busy"); });
    Type({"a"});
    ASSERT_TRUE(log.WaitFor("session"));
    Type({"b"});
    fake->Answer(false);
    ASSERT_TRUE(log.WaitFor("idle"));
    Type({"c"});
    ASSERT_TRUE(log.WaitFor("session", 2));
    Type({"d"});
    fake->Answer(true);
    ASSERT_TRUE(log.WaitFor("idle", 2));
    Type({"hold on"});
    ASSERT_TRUE(log.WaitFor("send hold on"));
    queue.reset();
    EXPECT_EQ(log.Lines(), (Lines{"session", "problem: 2 texts were not typed: the user did not allow it.", "idle",
                                  "session", "start c", "send c", "end", "start d", "send d", "end", "idle",
                                  "start hold on", "send hold on", "stopped", "end"}));
}

TEST(UnsentMessage, NamesTenDifferentCharactersAtMost) {
    EXPECT_EQ(UnsentMessage(U"a", "why."), "1 character could not be typed (a): why.");
    EXPECT_EQ(UnsentMessage(U"abcdefghijkla", "why."),
              "13 characters could not be typed (a b c d e f g h i j …): why.");
}

} // namespace
} // namespace velmora
