#include "ControllerRig.h"

#include "ui/ItemListModel.h"
#include "ui/ItemListView.h"

#include <QApplication>
#include <QBrush>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

const QString kMark = QString(QChar(0x21B5));

/// Counts the model's signals while it exists.
struct ModelSignals {
    explicit ModelSignals(QAbstractItemModel& model) {
        QObject::connect(&model, &QAbstractItemModel::modelReset, &context, [this] { ++resets; });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &context, [this] { ++inserted; });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &context, [this] { ++removed; });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &context,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             ++changed;
                             lastFrom = from;
                             lastTo = to;
                         });
    }
    QObject context;
    int resets = 0;
    int inserted = 0;
    int removed = 0;
    int changed = 0;
    QModelIndex lastFrom;
    QModelIndex lastTo;
};

class ItemListModelTest : public ::testing::Test {
protected:
    ItemListModelTest() {
        model.SetTextProvider([this](std::size_t row, int column) {
            ++asked;
            const TStrItem& item = *rows.Item(row);
            switch (column) {
            case 0:
                return std::to_string(row + 1);
            case 1:
                return std::to_string(item.FHKChar);
            default:
                return item.FStr;
            }
        });
    }
    QVariant Data(int row, int column, int role = Qt::DisplayRole) const {
        return model.data(model.index(row, column), role);
    }

    TRowList rows;
    TItemListModel model{rows};
    int asked = 0;
};

TEST_F(ItemListModelTest, CellsAskTheProviderEveryTimeAndShowLineBreaksAsOneMark) {
    auto item = MakeItem("a\r\nb\nc\rd & e", 0, 65);
    rows.Append(item, true);
    rows.Append(MakeItem("", 0, 66), false);

    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(Data(0, 0).toString(), "1");
    EXPECT_EQ(Data(0, 2).toString(), "a" + kMark + "b" + kMark + "c" + kMark + "d & e");
    EXPECT_EQ(Data(1, 2).toString(), "");
    EXPECT_EQ(TItemListModel::DisplayText(std::string(1'000'000, 'x')), QString(2000, 'x') + "...");
    item->FStr = "changed";
    EXPECT_EQ(Data(0, 2).toString(), "changed") << "nothing is cached";
    EXPECT_EQ(asked, 4);

    EXPECT_EQ(Data(0, 0, Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(Data(1, 0, Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_FALSE(Data(0, 1, Qt::CheckStateRole).isValid());
    EXPECT_EQ(Data(0, 0, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(Data(0, 2, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole), Data(0, 0, Qt::TextAlignmentRole));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "No.");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Hotkey");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Text");

    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, 2)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & (Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled));
}

TEST_F(ItemListModelTest, TheCheckBoxSetsTheRowsCheckState) {
    rows.Append(MakeItem("a", 0, 65), true);
    ModelSignals seen(model);
    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(rows.Checked(0));
    EXPECT_EQ(seen.changed, 1);
    EXPECT_FALSE(model.setData(model.index(0, 2), "text", Qt::EditRole));
    EXPECT_FALSE(model.setData(model.index(0, 1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_FALSE(rows.Checked(0));
}

TEST_F(ItemListModelTest, ABatchIsOneResetAndSingleChangesAreRowSignals) {
    ModelSignals seen(model);
    {
        TRowBatch batch(rows);
        for (int i = 0; i < 1000; ++i) {
            rows.Append(MakeItem("x", 0, 65));
        }
    }
    EXPECT_EQ(seen.resets, 1);
    EXPECT_EQ(seen.inserted, 0);
    EXPECT_EQ(model.rowCount(), 1000);

    rows.Append(MakeItem("y", 0, 66));
    rows.Delete(3);
    EXPECT_EQ(seen.inserted, 1);
    EXPECT_EQ(seen.removed, 1);
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(seen.resets, 1);
}

class ItemListViewTest : public ItemListModelTest {
protected:
    ItemListViewTest() {
        for (const char* text : {"one", "two", "three"}) {
            rows.Append(MakeItem(text, 0, 65), true);
        }
        view.resize(533, 263);
        view.show();
    }
    QPoint CellCentre(int row, int column) const { return view.visualRect(model.index(row, column)).center(); }

    TItemListView view{model};
};

TEST_F(ItemListViewTest, LooksAsTheListViewShould) {
    const QHeaderView* header = view.horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 50);
    EXPECT_EQ(header->sectionSize(1), 60);
    EXPECT_EQ(header->sectionSize(2), 400);
    EXPECT_EQ(header->height(), 17);
    EXPECT_EQ(view.rowHeight(0), 18);
    EXPECT_FALSE(view.verticalHeader()->isVisible());
    EXPECT_TRUE(header->sectionsMovable());
    EXPECT_FALSE(header->stretchLastSection());
    EXPECT_EQ(header->minimumSectionSize(), 10);
    EXPECT_FALSE(view.isSortingEnabled());
    EXPECT_TRUE(view.showGrid());
    EXPECT_EQ(view.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(view.dragDropMode(), QAbstractItemView::NoDragDrop);
}

TEST_F(ItemListViewTest, TheFocusedRowIsTheViewsCurrentAndSelectedRowBothWays) {
    rows.SetFocused(2);
    EXPECT_EQ(view.currentIndex().row(), 2);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {}));

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(1, 2));
    EXPECT_EQ(rows.Focused(), 1u);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(1, {}));
    EXPECT_FALSE(view.selectionModel()->isRowSelected(2, {}));

    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(rows.Focused(), 2u);

    // A row appended in a batch moves neither focus nor selection.
    {
        TRowBatch batch(rows);
        rows.Append(MakeItem("four", 0, 65));
    }
    EXPECT_EQ(rows.Focused(), 2u);
    EXPECT_EQ(view.currentIndex().row(), 2);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {}));

    // Deleting the focused row leaves nothing focused or selected, in the rows and in the view.
    rows.Delete(2);
    EXPECT_FALSE(rows.Focused());
    EXPECT_FALSE(view.currentIndex().isValid());
    EXPECT_FALSE(view.selectionModel()->hasSelection());

    // Deleting a row above the focused one moves the focus with its row.
    rows.SetFocused(2);
    rows.Delete(0);
    EXPECT_EQ(rows.Focused(), 1u);
    EXPECT_EQ(view.currentIndex().row(), 1);
}

TEST_F(ItemListViewTest, TakingTheKeyboardFocusPicksNoRowAndAnArrowThenStartsAtTheFirst) {
    QApplication::setActiveWindow(&view);
    view.setFocus(Qt::ActiveWindowFocusReason);
    ASSERT_TRUE(view.hasFocus());
    EXPECT_FALSE(rows.Focused());
    EXPECT_FALSE(view.currentIndex().isValid());
    EXPECT_FALSE(view.selectionModel()->hasSelection());

    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(rows.Focused(), 0u);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(0, {}));
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(rows.Focused(), 1u);

    // The focus leaves and comes back: the picked row stays.
    view.clearFocus();
    view.setFocus(Qt::TabFocusReason);
    EXPECT_EQ(rows.Focused(), 1u);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(1, {}));

    // A list loaded anew has no focused row, and taking the focus again picks none.
    view.clearFocus();
    {
        TRowBatch batch(rows);
        rows.Clear();
        rows.Append(MakeItem("loaded", 0, 65), true);
    }
    view.setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(rows.Focused());
    EXPECT_FALSE(view.selectionModel()->hasSelection());
}

TEST_F(ItemListViewTest, SpaceTogglesTheFocusedRowsBoxAndADoubleClickAsksForAnEdit) {
    QTest::keyClick(&view, Qt::Key_Space); // nothing focused
    EXPECT_TRUE(rows.Checked(0) && rows.Checked(1) && rows.Checked(2));

    rows.SetFocused(1);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_FALSE(rows.Checked(1));
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_TRUE(rows.Checked(1));

    // A click on the box toggles it too.
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(model.index(0, 0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = "1";
    const QRect box = view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_FALSE(rows.Checked(0));

    int requests = 0;
    QObject::connect(&view, &TItemListView::EditRequested, [&requests] { ++requests; });
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, CellCentre(2, 2));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(rows.Focused(), 2u);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, 18 * 3 + 20)); // below the last row
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(rows.Focused(), 2u);
}

class HotkeyMarkTest : public ::testing::Test, protected ControllerRig<> {
protected:
    HotkeyMarkTest() {
        CreateWith({
            MakeItem("held elsewhere", 1, 116),
            MakeItem("fine", 2, 'A'),
            MakeItem("same as above", 2, 'A'),
            MakeItem("unchecked", 2, 'A', false),
        });
        view.AttachController(*ctrl);
    }
    ~HotkeyMarkTest() override {
        view.DetachController();
        ctrl.reset();
    }
    QVariant Data(int row, int role) const { return model.data(model.index(row, 1), role); }

    TItemListModel model{rows};
    TItemListView view{model};
};

TEST_F(HotkeyMarkTest, ARowWhoseHotkeyIsNotInForceShowsItInRedWithTheReason) {
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "CTRL+F5");
    EXPECT_EQ(model.data(model.index(1, 2), Qt::DisplayRole).toString(), "fine");
    EXPECT_FALSE(Data(0, Qt::ForegroundRole).isValid()) << "nothing is marked before Start";

    hotkeys.heldElsewhere.insert({kModControl, 116});
    ModelSignals seen(model);
    ctrl->Start();
    EXPECT_GE(seen.changed, 1);
    EXPECT_EQ(seen.lastFrom.column(), 1);
    EXPECT_EQ(seen.lastTo.row(), 3);

    EXPECT_EQ(Data(0, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(Data(0, Qt::ToolTipRole).toString(), "Another program holds CTRL+F5");
    EXPECT_FALSE(Data(1, Qt::ForegroundRole).isValid());
    EXPECT_FALSE(Data(1, Qt::ToolTipRole).isValid());
    EXPECT_EQ(Data(2, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(Data(2, Qt::ToolTipRole).toString(), "An upper row has the same hotkey ALT+A");
    EXPECT_FALSE(Data(3, Qt::ForegroundRole).isValid()) << "an unchecked row has no hotkey to mark";
    EXPECT_FALSE(model.data(model.index(0, 2), Qt::ForegroundRole).isValid()) << "only the Hotkey cell";

    // Marks say what is true now: the upper row gives ALT+A up, so the lower one types on it.
    rows.Item(1)->FHKChar = 'B';
    rows.NotifyItemChanged(1);
    EXPECT_EQ(Data(1, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::darkGray));
    EXPECT_EQ(Data(1, Qt::ToolTipRole).toString(), "Changed since Start: ALT+B takes effect at the next Start");
    EXPECT_FALSE(Data(2, Qt::ForegroundRole).isValid());
    rows.SetChecked(3, true);
    ctrl->AddItem(MakeItem("added", 0, 'C'));
    for (const int row : {3, 4}) {
        EXPECT_EQ(Data(row, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::darkGray)) << row;
        EXPECT_TRUE(Data(row, Qt::ToolTipRole).toString().startsWith("Not registered")) << row;
    }

    ctrl->Stop();
    EXPECT_FALSE(Data(0, Qt::ForegroundRole).isValid());
    EXPECT_FALSE(Data(2, Qt::ToolTipRole).isValid());
    EXPECT_FALSE(Data(4, Qt::ToolTipRole).isValid());
}

TEST_F(HotkeyMarkTest, ARowTheDesktopDecidesLaterWaitsInGreyAndShowsTheAnswerWhenItComes) {
    hotkeys.pendingAtFinish = {{kModControl, 116}, {kModAlt, 'A'}};
    ctrl->Start();
    EXPECT_EQ(Data(0, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::darkGray));
    EXPECT_EQ(Data(0, Qt::ToolTipRole).toString(), "Waiting for the desktop to bind CTRL+F5");

    ModelSignals seen(model);
    ASSERT_TRUE(hotkeys.settledHandler);
    hotkeys.settledHandler(
        {{hotkeys.registerCalls[0].id, {HotkeyStatus::NotBound, {}}}, {hotkeys.registerCalls[1].id, {}}});
    EXPECT_GE(seen.changed, 1);
    EXPECT_EQ(Data(0, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(Data(0, Qt::ToolTipRole).toString(), "The desktop did not bind CTRL+F5");
    EXPECT_FALSE(Data(1, Qt::ToolTipRole).isValid());
}

TEST(ItemListModelTexts, StatusTextsNameTheHotkey) {
    EXPECT_EQ(TItemListModel::StatusText(HotkeyStatus::UnknownKey, "ALT+Z"), "No key of this keyboard gives ALT+Z");
    EXPECT_TRUE(TItemListModel::StatusText(HotkeyStatus::Registered, "ALT+Z").isEmpty());
}

} // namespace
} // namespace velmora::testing
