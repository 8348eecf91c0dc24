#include "ItemListModel.h"

#include <QBrush>
#include <QColor>

#include <utility>

namespace velmora {
namespace {

const char* const kHeaders[TItemListModel::kColumnCount] = {"No.", "Hotkey", "Text"};
constexpr int kNumberColumn = 0;
constexpr int kHotkeyColumn = 1;
constexpr int kTextColumn = 2;
/// Drawn in place of a line break, so that a text of several lines stays on one line of the row.
constexpr char16_t kLineBreakMark = u'\u21B5';
/// More characters than any cell can show; a longer text is cut here so that painting it stays cheap.
constexpr qsizetype kMaxShownLength = 2000;

} // namespace

TItemListModel::TItemListModel(TRowList& rows, QObject* parent) : QAbstractTableModel(parent), FRows(rows) {
    FRows.SetObserver(this);
}

TItemListModel::~TItemListModel() {
    FRows.SetObserver(nullptr);
}

void TItemListModel::SetTextProvider(TTextProvider provider) {
    FTextProvider = std::move(provider);
    if (FRows.Count() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    }
}

void TItemListModel::SetStatusProvider(TStatusProvider provider) {
    FStatusProvider = std::move(provider);
    HotkeysChanged();
}

void TItemListModel::HotkeysChanged() {
    if (FRows.Count() > 0 && !FChanging) {
        emit dataChanged(index(0, kHotkeyColumn), index(rowCount() - 1, kHotkeyColumn),
                         {Qt::ForegroundRole, Qt::ToolTipRole});
    }
}

int TItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.Count());
}

int TItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

std::string TItemListModel::CellText(int row, int column) const {
    return FTextProvider ? FTextProvider(static_cast<std::size_t>(row), column) : std::string();
}

QString TItemListModel::DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    if (shown.size() > kMaxShownLength) {
        shown.truncate(shown.at(kMaxShownLength - 1).isHighSurrogate() ? kMaxShownLength - 1 : kMaxShownLength);
        shown += QStringLiteral("...");
    }
    shown.replace(QStringLiteral("\r\n"), QString(QChar(kLineBreakMark)));
    shown.replace(QLatin1Char('\r'), QChar(kLineBreakMark));
    shown.replace(QLatin1Char('\n'), QChar(kLineBreakMark));
    return shown;
}

QString TItemListModel::StatusText(HotkeyStatus status, const QString& label) {
    switch (status) {
    case HotkeyStatus::Registered:
        return {};
    case HotkeyStatus::HeldElsewhere:
        return QStringLiteral("Another program holds %1").arg(label);
    case HotkeyStatus::HeldByEarlierRow:
        return QStringLiteral("An upper row has the same hotkey %1").arg(label);
    case HotkeyStatus::UnknownKey:
        return QStringLiteral("No key of this keyboard gives %1").arg(label);
    case HotkeyStatus::Unavailable:
        return QStringLiteral("No system-wide hotkeys in this session: bind a desktop shortcut to the row command "
                              "instead of %1")
            .arg(label);
    case HotkeyStatus::NotBound:
        return QStringLiteral("The desktop did not bind %1").arg(label);
    case HotkeyStatus::CaughtByTyping:
        return QStringLiteral("Not bound: as a desktop shortcut, %1 would go off at the keys Velmora types; add CTRL "
                              "or ALT")
            .arg(label);
    case HotkeyStatus::Pending:
        return QStringLiteral("Waiting for the desktop to bind %1").arg(label);
    }
    return {};
}

QString TItemListModel::MarkText(const THotkeyMark& mark, const QString& label) {
    switch (mark.kind) {
    case THotkeyMark::Kind::InForce:
        return {};
    case THotkeyMark::Kind::Refused:
        return StatusText(mark.reason, label);
    case THotkeyMark::Kind::ChangedSinceStart:
        return QStringLiteral("Changed since Start: %1 takes effect at the next Start").arg(label);
    case THotkeyMark::Kind::NotRegistered:
        return QStringLiteral("Not registered: added or checked after Start; %1 takes effect at the next Start")
            .arg(label);
    }
    return {};
}

QVariant TItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || FChanging) {
        return {};
    }
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(CellText(row, column));
    case Qt::CheckStateRole:
        if (column == kNumberColumn) {
            return FRows.Checked(static_cast<std::size_t>(row)) ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (column == kNumberColumn) {
            return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
        }
        return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
    case Qt::ToolTipRole: {
        if (role == Qt::ToolTipRole && column == kTextColumn) {
            // The whole text, which the cell may cut.
            return QString::fromStdString(CellText(row, column));
        }
        if (column != kHotkeyColumn || !FStatusProvider) {
            return {};
        }
        const std::optional<THotkeyMark> mark = FStatusProvider(static_cast<std::size_t>(row));
        if (!mark || mark->kind == THotkeyMark::Kind::InForce) {
            return {};
        }
        if (role == Qt::ForegroundRole) {
            // Refused in red; what waits for the next Start or for the desktop in a neutral grey.
            const bool refused = mark->kind == THotkeyMark::Kind::Refused && mark->reason != HotkeyStatus::Pending;
            return QBrush(QColor(refused ? Qt::red : Qt::darkGray));
        }
        return MarkText(*mark, QString::fromStdString(CellText(row, column)));
    }
    default:
        return {};
    }
}

bool TItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != kNumberColumn || role != Qt::CheckStateRole || FChanging ||
        index.row() >= rowCount()) {
        return false;
    }
    // The row list tells every observer, this model included, through RowChanged.
    FRows.SetChecked(static_cast<std::size_t>(index.row()), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TItemListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == kNumberColumn) {
        result |= Qt::ItemIsUserCheckable;
    }
    return result;
}

QVariant TItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(kHeaders[section]);
    }
    if (role == Qt::TextAlignmentRole) {
        // Each header is aligned as its column's cells.
        return static_cast<int>((section == kNumberColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    return {};
}

void TItemListModel::BeginReset() {
    FChanging = true;
    beginResetModel();
}

void TItemListModel::EndReset() {
    endResetModel();
    ChangeEnded();
}

void TItemListModel::BeginAppend(std::size_t position) {
    FChanging = true;
    const int row = static_cast<int>(position);
    beginInsertRows(QModelIndex(), row, row);
}

void TItemListModel::EndAppend() {
    endInsertRows();
    ChangeEnded();
}

void TItemListModel::BeginRemove(std::size_t position) {
    FChanging = true;
    const int row = static_cast<int>(position);
    beginRemoveRows(QModelIndex(), row, row);
}

void TItemListModel::EndRemove() {
    endRemoveRows();
    ChangeEnded();
}

void TItemListModel::ChangeEnded() {
    FChanging = false;
    const auto focused = FRows.Focused();
    emit FocusedRowChanged(focused ? static_cast<int>(*focused) : -1);
}

void TItemListModel::RowChanged(std::size_t position) {
    const int row = static_cast<int>(position);
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    // A changed hotkey or check box may change what other rows' hotkeys do (an upper row gives one up).
    if (FStatusProvider) {
        HotkeysChanged();
    }
}

void TItemListModel::FocusChanged(std::optional<std::size_t> focused) {
    emit FocusedRowChanged(focused ? static_cast<int>(*focused) : -1);
}

} // namespace velmora
