#include "ItemListView.h"

#include "ItemListModel.h"
#include "MainCtrl.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyledItemDelegate>

#include <optional>

namespace velmora {
namespace {

/// Cuts a text that is wider than its cell and ends it in "...".
class TElidingDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->features & QStyleOptionViewItem::HasDisplay) || option->text.isEmpty()) {
            return;
        }
        const QWidget* widget = option->widget;
        const QStyle* style = widget ? widget->style() : nullptr;
        if (!style) {
            return;
        }
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const int available = style->subElementRect(QStyle::SE_ItemViewItemText, option, widget).width() - 2 * margin;
        option->text = TItemListView::Elided(option->fontMetrics, option->text, available);
        option->textElideMode = Qt::ElideNone;
    }
};

} // namespace

QString TItemListView::Elided(const QFontMetrics& metrics, const QString& text, int width) {
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    static const QString dots = QStringLiteral("...");
    // The longest beginning of the text that still fits with the dots behind it.
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(middle) + dots) <= width) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    if (low > 0 && text.at(low - 1).isHighSurrogate()) {
        --low;
    }
    return text.left(low) + dots;
}

TItemListView::TItemListView(TItemListModel& model, QWidget* parent) : QTableView(parent), FModel(model) {
    setItemDelegate(new TElidingDelegate(this));
    setModel(&FModel);

    QHeaderView* header = horizontalHeader();
    header->setFixedHeight(kHeaderHeight);
    header->setMinimumSectionSize(10);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsMovable(true);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < TItemListModel::kColumnCount; ++column) {
        header->resizeSection(column, kColumnWidths[column]);
    }

    QHeaderView* rowsHeader = verticalHeader();
    rowsHeader->setMinimumSectionSize(1);
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setDefaultSectionSize(kRowHeight);
    rowsHeader->hide();

    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setCornerButtonEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setAcceptDrops(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setDropIndicatorShown(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(&FModel, &TItemListModel::FocusedRowChanged, this, &TItemListView::ShowFocusedRow);
    connect(&FModel, &QAbstractItemModel::modelReset, this, &TItemListView::ShowRowsFocus);
    ShowRowsFocus();
}

void TItemListView::AttachController(TMainCtrl& controller) {
    FController = &controller;
    TMainCtrl* ctrl = &controller;
    FModel.SetTextProvider([ctrl](std::size_t row, int column) { return ctrl->GetCellText(row, column); });
    FModel.SetStatusProvider([ctrl](std::size_t row) -> std::optional<THotkeyMark> {
        const TRowList& rows = ctrl->Rows();
        if (row >= rows.Count()) {
            return std::nullopt;
        }
        return ctrl->HotKeys().MarkOf(rows.Item(row).get(), rows.Checked(row));
    });
    controller.SetHotkeysChangedHandler([model = QPointer<TItemListModel>(&FModel)] {
        if (model) {
            model->HotkeysChanged();
        }
    });
}

void TItemListView::DetachController() {
    if (FController) {
        FController->SetHotkeysChangedHandler({});
        FController = nullptr;
    }
    FModel.SetTextProvider({});
    FModel.SetStatusProvider({});
}

void TItemListView::focusInEvent(QFocusEvent* event) {
    // Qt makes the first row current when a view without a current row takes the keyboard focus; the user has
    // picked nothing then, so no row becomes focused or selected. An arrow key still starts at the first row.
    const bool hadCurrent = currentIndex().isValid();
    const QScopedValueRollback taking(FTakingFocus, true);
    QTableView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid()) {
        selectionModel()->clearCurrentIndex();
    }
}

void TItemListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        TRowList& rows = FModel.Rows();
        if (const auto focused = rows.Focused()) {
            rows.SetChecked(*focused, !rows.Checked(*focused));
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TItemListView::mousePressEvent(QMouseEvent* event) {
    // A click below the last row keeps the focused row focused and selected.
    if (!indexAt(event->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void TItemListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const bool onRow = indexAt(event->position().toPoint()).isValid();
    QTableView::mouseDoubleClickEvent(event);
    if (onRow && event->button() == Qt::LeftButton) {
        emit EditRequested();
    }
}

void TItemListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (FModel.Changing() || FTakingFocus) {
        return; // the rows move (the model passes on their focus once they stand still), or no one picked a row
    }
    TRowList& rows = FModel.Rows();
    std::optional<std::size_t> row;
    if (current.isValid() && static_cast<std::size_t>(current.row()) < rows.Count()) {
        row = static_cast<std::size_t>(current.row());
    }
    if (rows.Focused() != row) {
        rows.SetFocused(row);
    }
}

void TItemListView::ShowFocusedRow(int row) {
    QItemSelectionModel* selection = selectionModel();
    if (!selection) {
        return;
    }
    if (row < 0 || row >= FModel.rowCount()) {
        if (selection->currentIndex().isValid() || selection->hasSelection()) {
            selection->clear();
        }
        return;
    }
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && current.row() == row && selection->isRowSelected(row, QModelIndex())) {
        return;
    }
    const int column = current.isValid() ? current.column() : 0;
    const QModelIndex target = FModel.index(row, column);
    selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(target);
}

void TItemListView::ShowRowsFocus() {
    const auto focused = FModel.Rows().Focused();
    ShowFocusedRow(focused ? static_cast<int>(*focused) : -1);
}

} // namespace velmora
