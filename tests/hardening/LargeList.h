#pragma once

#include "core/RowList.h"
#include "core/StrItem.h"

#include <cstddef>
#include <memory>
#include <string>

namespace velmora::hardening {

/// The text of row `row` in version `version` ('A' or 'B') of a large list: about 200 bytes, every byte value
/// included somewhere, different in every row and version.
inline std::string LargeListText(char version, std::size_t row) {
    std::string text = std::string(1, version) + " row " + std::to_string(row) + "\r\n";
    for (std::size_t i = 0; i < 180 + row % 40; ++i) {
        text += static_cast<char>((row * 7 + i * 13 + static_cast<std::size_t>(version)) % 256);
    }
    return text;
}

/// Fills `rows` with version `version` of a large list of `count` rows: hotkeys cycling through the modifiers and
/// keys, every third row unchecked.
inline void FillLargeList(TRowList& rows, char version, std::size_t count) {
    TRowBatch batch(rows);
    rows.Clear();
    for (std::size_t row = 0; row < count; ++row) {
        rows.Append(std::make_shared<TStrItem>(LargeListText(version, row), row % 3, 65 + row % 26), row % 3 != 2);
    }
}

/// Sets the texts of existing rows to version `version`, keeping everything else.
inline void SetLargeListVersion(TRowList& rows, char version) {
    for (std::size_t row = 0; row < rows.Count(); ++row) {
        rows.Item(row)->FStr = LargeListText(version, row);
    }
}

/// Which version the rows hold whole ('A' or 'B'), or '?' when they match neither exactly.
inline char LargeListVersion(const TRowList& rows, std::size_t count) {
    if (rows.Count() != count || count == 0) {
        return '?';
    }
    const char version = rows.Item(0)->FStr.empty() ? '?' : rows.Item(0)->FStr[0];
    for (std::size_t row = 0; row < count; ++row) {
        const TStrItem& item = *rows.Item(row);
        if (item.FStr != LargeListText(version, row) || item.FHKCtrl != row % 3 ||
            item.FHKChar != static_cast<std::int32_t>(65 + row % 26) || rows.Checked(row) != (row % 3 != 2) ||
            item.FChecked != rows.Checked(row)) {
            return '?';
        }
    }
    return version == 'A' || version == 'B' ? version : '?';
}

} // namespace velmora::hardening
