#pragma once

#include <QTableView>

class QFontMetrics;

namespace velmora {

class TItemListModel;
class TMainCtrl;

/// The list view: three movable, resizable columns, 18-pixel rows with grid lines, one focused and selected row
/// that is the rows' focused row, check boxes toggled by click or Space, no editing in place, no drag and drop.
class TItemListView final : public QTableView {
    Q_OBJECT
public:
    /// The column widths at start.
    static constexpr int kColumnWidths[3] = {50, 60, 400};
    static constexpr int kHeaderHeight = 17;
    static constexpr int kRowHeight = 18;

    /// Shows `model` (not owned; it must outlive the view or be replaced first).
    explicit TItemListView(TItemListModel& model, QWidget* parent = nullptr);
    TItemListView(const TItemListView&) = delete;
    TItemListView& operator=(const TItemListView&) = delete;

    /// Makes the controller the text provider and the source of the hotkey marks, and has it report Start/Stop.
    void AttachController(TMainCtrl& controller);
    /// Forgets the controller: every cell is empty and no hotkey is marked. Run before the controller goes.
    void DetachController();

    /// `text` as a cell shows it in `width` pixels: cut and ended in "..." when it is wider.
    static QString Elided(const QFontMetrics& metrics, const QString& text, int width);

    /// The model shown.
    TItemListModel& ListModel() const { return FModel; }

signals:
    /// A row was double-clicked: the focused row is to be edited.
    void EditRequested();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    /// Shows `row` (-1: none) as the current and selected row.
    void ShowFocusedRow(int row);
    /// Shows the rows' focused row again (after a reset).
    void ShowRowsFocus();

    TItemListModel& FModel;
    TMainCtrl* FController = nullptr;
    bool FTakingFocus = false; ///< the view is taking the keyboard focus: the current index is not the user's
};

} // namespace velmora
