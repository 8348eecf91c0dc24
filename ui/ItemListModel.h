#pragma once

#include "core/RowList.h"
#include "platform/HotkeyRegistry.h"
#include "platform/HotkeyService.h"

#include <QAbstractTableModel>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace velmora {

/// The rows of the list as a three-column table ("No.", "Hotkey", "Text") with a check box in column 0.
/// It keeps no texts: every request asks the text provider again.
class TItemListModel final : public QAbstractTableModel, private IRowListObserver {
    Q_OBJECT
public:
    /// The text of a cell (UTF-8): row, column -> text.
    using TTextProvider = std::function<std::string(std::size_t row, int column)>;
    /// What the row's hotkey does now, or none when there is nothing to say (stopped, or an unchecked row).
    using TStatusProvider = std::function<std::optional<THotkeyMark>(std::size_t row)>;

    static constexpr int kColumnCount = 3;

    /// Observes `rows` from now on, until destroyed.
    explicit TItemListModel(TRowList& rows, QObject* parent = nullptr);
    ~TItemListModel() override;
    TItemListModel(const TItemListModel&) = delete;
    TItemListModel& operator=(const TItemListModel&) = delete;

    /// Installs the text provider (none: every cell is empty).
    void SetTextProvider(TTextProvider provider);
    /// Installs the registration status provider (none: no cell is marked).
    void SetStatusProvider(TStatusProvider provider);
    /// The hotkeys were registered or released: the "Hotkey" column is to be painted anew.
    void HotkeysChanged();

    /// The rows shown.
    TRowList& Rows() const { return FRows; }
    /// Whether the rows are between the two halves of a change (an append, a removal or a batch).
    bool Changing() const { return FChanging; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The text shown for a cell: the provider's text with each line break drawn as one mark, a very long text cut
    /// after the first 2,000 characters (more than any cell shows) and ended in "...".
    static QString DisplayText(const std::string& text);
    /// The tooltip that says why a row's hotkey `label` is not in force.
    static QString StatusText(HotkeyStatus status, const QString& label);
    /// The tooltip of a row's hotkey `label` with this mark; empty for one in force.
    static QString MarkText(const THotkeyMark& mark, const QString& label);

signals:
    /// The focused row is to be shown as the view's current and selected row (-1: none).
    void FocusedRowChanged(int row);

private:
    void BeginReset() override;
    void EndReset() override;
    void BeginAppend(std::size_t position) override;
    void EndAppend() override;
    void BeginRemove(std::size_t position) override;
    void EndRemove() override;
    void RowChanged(std::size_t position) override;
    void FocusChanged(std::optional<std::size_t> focused) override;
    /// Ends a change and passes on the focus as it now stands.
    void ChangeEnded();
    std::string CellText(int row, int column) const;

    TRowList& FRows;
    TTextProvider FTextProvider;
    TStatusProvider FStatusProvider;
    bool FChanging = false;
};

} // namespace velmora
