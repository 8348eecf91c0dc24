#include "core/RowList.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using velmora::IRowListObserver;
using velmora::TRowBatch;
using velmora::TRowList;
using velmora::TStrItem;
using velmora::TStrItemPtr;

namespace {

// Writes every event down as one short text.
class RecordingObserver final : public IRowListObserver {
public:
    std::vector<std::string> events;

    void BeginReset() override { events.push_back("BeginReset"); }
    void EndReset() override { events.push_back("EndReset"); }
    void BeginAppend(std::size_t position) override { events.push_back("BeginAppend " + std::to_string(position)); }
    void EndAppend() override { events.push_back("EndAppend"); }
    void BeginRemove(std::size_t position) override { events.push_back("BeginRemove " + std::to_string(position)); }
    void EndRemove() override { events.push_back("EndRemove"); }
    void RowChanged(std::size_t position) override { events.push_back("RowChanged " + std::to_string(position)); }
    void FocusChanged(std::optional<std::size_t> focused) override {
        events.push_back("FocusChanged " + (focused ? std::to_string(*focused) : std::string("none")));
    }
};

TStrItemPtr Item(const std::string& text) {
    return std::make_shared<TStrItem>(text);
}

std::vector<std::string> Texts(const TRowList& rows) {
    std::vector<std::string> texts;
    for (auto row = rows.First(); row; row = rows.Next(*row)) {
        texts.push_back(rows.Item(*row)->FStr);
    }
    return texts;
}

} // namespace

TEST(RowList, DeleteRenumbersAndKeepsCheckStatesAndFocusFollowsItsRow) {
    TRowList rows;
    rows.Append(Item("a"), true);
    rows.Append(Item("b"));
    rows.Append(Item("c"), true);
    rows.Append(Item("d"));
    rows.SetFocused(3);

    rows.Delete(1);
    EXPECT_EQ(Texts(rows), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_TRUE(rows.Checked(0));
    EXPECT_TRUE(rows.Checked(1));
    EXPECT_FALSE(rows.Checked(2));
    EXPECT_EQ(rows.Focused(), 2u) << "the focused row moved up with the rows below the deleted one";

    rows.Delete(2);
    EXPECT_EQ(rows.Focused(), std::nullopt) << "deleting the focused row leaves no row focused";
    EXPECT_EQ(rows.Append(Item("e")), 2u);
    EXPECT_EQ(rows.Focused(), std::nullopt) << "appending does not focus";
    EXPECT_FALSE(rows.Checked(2)) << "a row is unchecked unless told";
}

TEST(RowList, WalksBothWaysAndRefusesPositionsThatNameNoRow) {
    TRowList rows;
    EXPECT_EQ(rows.First(), std::nullopt);
    EXPECT_EQ(rows.Last(), std::nullopt);
    EXPECT_EQ(rows.Previous(0), std::nullopt);
    EXPECT_THROW(rows.Item(0), std::out_of_range);
    EXPECT_THROW(rows.Delete(0), std::out_of_range);
    EXPECT_THROW(rows.SetFocused(0), std::out_of_range);
    EXPECT_THROW(rows.Append(nullptr), std::invalid_argument);
    EXPECT_EQ(rows.Count(), 0u);

    rows.Append(Item("a"));
    rows.Append(Item("b"));
    rows.Append(Item("c"));
    std::vector<std::string> backwards;
    for (auto row = rows.Last(); row; row = rows.Previous(*row)) {
        backwards.push_back(rows.Item(*row)->FStr);
    }
    EXPECT_EQ(backwards, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(rows.Next(2), std::nullopt);
    EXPECT_EQ(rows.Previous(3), std::nullopt);
    EXPECT_THROW(rows.SetChecked(3, true), std::out_of_range);
}

TEST(RowList, OutsideABatchTheObserverHearsEachChange) {
    TRowList rows;
    RecordingObserver observer;
    rows.SetObserver(&observer);

    rows.Append(Item("a"));
    rows.Append(Item("b"), true);
    rows.SetChecked(0, true);
    rows.SetChecked(0, true); // no change, no event
    rows.NotifyItemChanged(1);
    rows.SetFocused(1);
    rows.SetFocused(1);
    rows.Delete(0);
    rows.Delete(0);
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"BeginAppend 0", "EndAppend", "BeginAppend 1", "EndAppend", "RowChanged 0",
                                        "RowChanged 1", "FocusChanged 1", "BeginRemove 0", "EndRemove",
                                        "FocusChanged 0", "BeginRemove 0", "EndRemove", "FocusChanged none"}));

    observer.events.clear();
    rows.Append(Item("c"));
    observer.events.clear();
    rows.Clear();
    EXPECT_EQ(observer.events, (std::vector<std::string>{"BeginReset", "EndReset"}));
    EXPECT_EQ(rows.Count(), 0u);
}

TEST(RowList, NestedBatchesTellTheObserverOnceAndAHundredThousandRowsCostTwoEvents) {
    TRowList rows;
    RecordingObserver observer;
    rows.SetObserver(&observer);
    rows.Append(Item("old"));
    rows.SetFocused(0);
    observer.events.clear();
    {
        TRowBatch outer(rows);
        EXPECT_TRUE(rows.InBatch());
        rows.Clear();
        {
            TRowBatch inner(rows);
            rows.Reserve(100000);
            for (int i = 0; i < 100000; ++i) {
                rows.Append(Item(std::to_string(i)), i % 2 == 0);
            }
        }
        EXPECT_TRUE(rows.InBatch()) << "the inner batch ended, the outer one is still open";
        rows.SetChecked(1, true);
        rows.Delete(0);
        EXPECT_EQ(observer.events, (std::vector<std::string>{"BeginReset"}));
    }
    EXPECT_FALSE(rows.InBatch());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"BeginReset", "EndReset", "FocusChanged none"}))
        << "the batch dropped the focus, so the observer hears of it after the reset";
    EXPECT_EQ(rows.Count(), 99999u);
    EXPECT_EQ(rows.Item(0)->FStr, "1");
    EXPECT_TRUE(rows.Checked(0));
    EXPECT_EQ(rows.Item(99998)->FStr, "99999");

    rows.EndBatch(); // an unmatched end is ignored
    observer.events.clear();
    rows.Append(Item("x"));
    EXPECT_EQ(observer.events, (std::vector<std::string>{"BeginAppend 99999", "EndAppend"}));
}

TEST(RowList, TheBatchEndsWhenItsScopeIsLeftByAnException) {
    TRowList rows;
    RecordingObserver observer;
    rows.SetObserver(&observer);
    try {
        TRowBatch batch(rows);
        rows.Append(Item("a"));
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(rows.InBatch());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"BeginReset", "EndReset"}));
}
