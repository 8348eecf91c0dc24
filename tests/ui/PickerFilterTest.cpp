#include "ui/PickerFilter.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

TEST(PickerOrder, KeepsRowsHoldingEveryWordCaseFoldedTypedOnesFirst) {
    const std::vector<TPickerRow> rows = {
        {"1 CTRL+F1 Dear Sir or Madam", -1},
        {"2  Σίσυφος ΠΈΤΡΑ", 1},
        {"3 ALT+A Привет мир", -1},
        {"4  \u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022", 0},
        {"5  dear friend", -1},
    };
    const struct {
        const char* filter;
        std::vector<std::size_t> order;
    } cases[] = {
        {"", {3, 1, 0, 2, 4}},    // typed ones first, the last typed before the earlier
        {"   ", {3, 1, 0, 2, 4}}, // blanks are no word
        {"dear", {0, 4}},         // list order among rows never typed
        {"DEAR madam", {0}},      // every word must occur, in any case
        {"madam dear", {0}},      // in any order
        {"ΣΊΣΥΦΟΣ", {1}},         // Greek, the final sigma folded as the other
        {"петра", {}},            // a word in one script does not match another script's look-alike
        {"ПРИВЕТ alt+a", {2}},    // Cyrillic, and the hotkey column
        {"4", {3}},               // the No. of a secret row; its text is not looked in
        {"dear nowhere", {}},     // one missing word drops the row
        {"\tfriend\n", {4}},      // any blank separates words
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PickerOrder(rows, QString::fromUtf8(c.filter)), c.order) << c.filter;
    }
}

} // namespace
} // namespace velmora
