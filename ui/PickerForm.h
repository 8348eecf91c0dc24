#pragma once

#include "PickerFilter.h"

#include <QWidget>

#include <cstddef>
#include <optional>
#include <vector>

class QLineEdit;
class QTreeWidget;

namespace velmora {

/// One row of the picker's list: its cells as the main window's list shows them.
struct TPickerLine {
    QString number;
    QString hotkey;
    QString label;    ///< the first line of the text; dots for a secret row
    int recency = -1; ///< as TPickerRow
};

/// The small window that picks a row by typing words of it: a filter line over the rows that match, the chosen one
/// selected. Up and Down move the choice, Enter (or a double click) takes it, Esc closes.
class TPickerForm : public QWidget {
    Q_OBJECT
public:
    explicit TPickerForm(QWidget* parent = nullptr);

    /// Offers these rows, the filter empty and the first of the order chosen.
    void SetLines(std::vector<TPickerLine> lines);
    /// The position (in the lines set) of the chosen row; none when no row matches.
    std::optional<std::size_t> Chosen() const;

    QLineEdit* Filter = nullptr;
    QTreeWidget* List = nullptr;

signals:
    /// Enter or a double click on a row: the position of the row in the lines set.
    void Picked(std::size_t line);
    /// Esc, or the window closed without a choice.
    void Cancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    /// Shows the lines that match the filter, in the picker's order, and chooses the first.
    void Refill();
    /// Takes the chosen row.
    void Pick();

    std::vector<TPickerLine> FLines;
    std::vector<TPickerRow> FRows;
    bool FPicking = false; ///< a row was taken: the close that follows is no cancel
};

} // namespace velmora
