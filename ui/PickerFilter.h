#pragma once

#include <QString>

#include <cstddef>
#include <vector>

namespace velmora {

/// One row as the picker offers it.
struct TPickerRow {
    QString shown;    ///< what the filter looks in: the No., the hotkey and the label as shown (dots for a secret row)
    int recency = -1; ///< 0 for the row typed last, 1 for the one before, ...; -1: not typed in this run
};

/// The positions of the rows in which every word of `filter` occurs, compared case-folded (any script): the rows
/// typed most recently first, then the others in list order. An empty filter keeps every row.
std::vector<std::size_t> PickerOrder(const std::vector<TPickerRow>& rows, const QString& filter);

} // namespace velmora
