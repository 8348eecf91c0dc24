#include "platform/TextPastes.h"

#include "tests/fakes/FakePasteClipboard.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

class TTurn final : public ITypingTurn {
public:
    bool secret = false;
    bool Pause(std::chrono::milliseconds) override { return true; }
    void KeysBegin() override {}
    void Report(const std::string&) override {}
    bool Secret() const override { return secret; }
};

// Whether the text is typed after a paste depends on it: typed after one that arrived, it arrives twice; not typed
// after one that did not, it is lost.
TEST(TextPastes, AWholeTextIsTypedInsteadWhenThePasteDidNotGoAndTheUsersClipboardIsBackFirst) {
    const struct {
        bool readable;
        bool taken;
        bool secret;
        bool pasted;
        std::string log;
    } cases[] = {
        {true, true, false, true, " keep offer a\nb\nc\n put-back"},   // line breaks as LF
        {true, false, false, false, " keep offer a\nb\nc\n put-back"}, // before the text is typed
        {false, true, false, false, " keep"},
        {true, true, true, false, ""}, // a secret row never reaches the clipboard
    };
    for (const auto& c : cases) {
        TFakePasteClipboard clipboard;
        clipboard.readable = c.readable;
        clipboard.taken = c.taken;
        TTurn turn;
        turn.secret = c.secret;
        std::string why;
        const bool pasted = PasteWholeText(clipboard, U"a\r\nb\rc\n", {[] {}, [] {}}, turn, why);
        EXPECT_EQ(pasted, c.pasted) << c.log;
        EXPECT_EQ(clipboard.log, c.log);
        EXPECT_EQ(why.empty(), c.pasted) << why;
    }
}

} // namespace
} // namespace velmora
