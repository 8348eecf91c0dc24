#pragma once

#include "StrItem.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace velmora {

/// Hears about changes of a TRowList (the list view's model). Inside a batch only BeginReset/EndReset are sent;
/// when the batch moved the focus, FocusChanged follows EndReset.
class IRowListObserver {
public:
    virtual ~IRowListObserver() = default;
    /// A batch starts: the rows may change in any way until EndReset.
    virtual void BeginReset() = 0;
    /// The batch is over; show the rows anew, once.
    virtual void EndReset() = 0;
    /// A row is about to be appended at `position`.
    virtual void BeginAppend(std::size_t position) = 0;
    /// The row announced by BeginAppend is there.
    virtual void EndAppend() = 0;
    /// The row at `position` is about to be removed.
    virtual void BeginRemove(std::size_t position) = 0;
    /// The row announced by BeginRemove is gone; the rows below it moved up.
    virtual void EndRemove() = 0;
    /// The row's check state or its item's values changed.
    virtual void RowChanged(std::size_t position) = 0;
    /// The focused row changed.
    virtual void FocusChanged(std::optional<std::size_t> focused) = 0;
};

/// The ordered rows of the list: per row its check state and one item reference. A row's position is the number
/// of rows above it; deleting a row renumbers the rows below. At most one row is focused. A position that names no
/// row throws std::out_of_range; a row without an item is refused (std::invalid_argument).
class TRowList {
public:
    TRowList() = default;
    TRowList(const TRowList&) = delete;
    TRowList& operator=(const TRowList&) = delete;

    /// Number of rows.
    std::size_t Count() const { return FRows.size(); }
    /// The item of the row at `position`.
    const TStrItemPtr& Item(std::size_t position) const;
    /// Whether the row's check box is checked.
    bool Checked(std::size_t position) const;
    /// Sets the row's check box.
    void SetChecked(std::size_t position, bool checked);
    /// Appends a row (unchecked unless told) holding `item`; returns its position. Focus is not changed.
    std::size_t Append(TStrItemPtr item, bool checked = false);
    /// Makes room for `count` rows, so that appending up to that many allocates nothing.
    void Reserve(std::size_t count);
    /// Deletes the row; the rows below move up. If it was focused, no row is focused afterwards.
    void Delete(std::size_t position);
    /// Removes every row (as a batch of its own); no row is focused afterwards.
    void Clear();
    /// Tells the observer that the row's item changed.
    void NotifyItemChanged(std::size_t position);

    /// The focused row, or none.
    std::optional<std::size_t> Focused() const { return FFocused; }
    /// Focuses (and selects) a row, or none.
    void SetFocused(std::optional<std::size_t> position);

    /// The first row, or none for an empty list.
    std::optional<std::size_t> First() const;
    /// The row after `position`, or none after the last.
    std::optional<std::size_t> Next(std::size_t position) const;
    /// The last row, or none for an empty list.
    std::optional<std::size_t> Last() const;
    /// The row before `position`, or none before the first.
    std::optional<std::size_t> Previous(std::size_t position) const;

    /// Starts a batch of changes; batches nest, and the observer hears of the outermost one only.
    void BeginBatch();
    /// Ends a batch; the end of the outermost one tells the observer once.
    void EndBatch();
    /// Whether a batch is open.
    bool InBatch() const { return FBatchDepth > 0; }

    /// The one observer (the view's model), or none.
    void SetObserver(IRowListObserver* observer) { FObserver = observer; }

private:
    struct TRow {
        TStrItemPtr item;
        bool checked = false;
    };
    IRowListObserver* Notify() const { return FBatchDepth == 0 ? FObserver : nullptr; }

    std::vector<TRow> FRows;
    std::optional<std::size_t> FFocused;
    std::optional<std::size_t> FFocusBeforeBatch;
    int FBatchDepth = 0;
    IRowListObserver* FObserver = nullptr;
};

/// Holds a batch open for one scope, however it is left.
class TRowBatch {
public:
    explicit TRowBatch(TRowList& rows) : FRows(rows) { FRows.BeginBatch(); }
    ~TRowBatch() { FRows.EndBatch(); }
    TRowBatch(const TRowBatch&) = delete;
    TRowBatch& operator=(const TRowBatch&) = delete;

private:
    TRowList& FRows;
};

} // namespace velmora
