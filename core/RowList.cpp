#include "RowList.h"

#include <stdexcept>
#include <string>

namespace velmora {
namespace {

void CheckPosition(std::size_t position, std::size_t count, const char* what) {
    if (position >= count) {
        throw std::out_of_range(std::string(what) + ": row " + std::to_string(position) + " of " +
                                std::to_string(count));
    }
}

} // namespace

const TStrItemPtr& TRowList::Item(std::size_t position) const {
    CheckPosition(position, FRows.size(), "Item");
    return FRows[position].item;
}

bool TRowList::Checked(std::size_t position) const {
    CheckPosition(position, FRows.size(), "Checked");
    return FRows[position].checked;
}

void TRowList::SetChecked(std::size_t position, bool checked) {
    CheckPosition(position, FRows.size(), "SetChecked");
    if (FRows[position].checked == checked) {
        return;
    }
    FRows[position].checked = checked;
    if (auto* observer = Notify()) {
        observer->RowChanged(position);
    }
}

std::size_t TRowList::Append(TStrItemPtr item, bool checked) {
    if (!item) {
        throw std::invalid_argument("Append: a row needs an item");
    }
    const std::size_t position = FRows.size();
    auto* observer = Notify();
    if (observer) {
        observer->BeginAppend(position);
    }
    FRows.push_back(TRow{std::move(item), checked});
    if (observer) {
        observer->EndAppend();
    }
    return position;
}

void TRowList::Reserve(std::size_t count) {
    FRows.reserve(count);
}

void TRowList::Delete(std::size_t position) {
    CheckPosition(position, FRows.size(), "Delete");
    auto* observer = Notify();
    if (observer) {
        observer->BeginRemove(position);
    }
    FRows.erase(FRows.begin() + static_cast<std::ptrdiff_t>(position));
    const std::optional<std::size_t> before = FFocused;
    if (FFocused && *FFocused == position) {
        FFocused.reset();
    } else if (FFocused && *FFocused > position) {
        --*FFocused;
    }
    if (observer) {
        observer->EndRemove();
        if (FFocused != before) {
            observer->FocusChanged(FFocused);
        }
    }
}

void TRowList::Clear() {
    TRowBatch batch(*this);
    FRows.clear();
    FFocused.reset();
}

void TRowList::NotifyItemChanged(std::size_t position) {
    CheckPosition(position, FRows.size(), "NotifyItemChanged");
    if (auto* observer = Notify()) {
        observer->RowChanged(position);
    }
}

void TRowList::SetFocused(std::optional<std::size_t> position) {
    if (position) {
        CheckPosition(*position, FRows.size(), "SetFocused");
    }
    if (FFocused == position) {
        return;
    }
    FFocused = position;
    if (auto* observer = Notify()) {
        observer->FocusChanged(FFocused);
    }
}

std::optional<std::size_t> TRowList::First() const {
    if (FRows.empty()) {
        return std::nullopt;
    }
    return 0;
}

std::optional<std::size_t> TRowList::Next(std::size_t position) const {
    if (position + 1 >= FRows.size()) {
        return std::nullopt;
    }
    return position + 1;
}

std::optional<std::size_t> TRowList::Last() const {
    if (FRows.empty()) {
        return std::nullopt;
    }
    return FRows.size() - 1;
}

std::optional<std::size_t> TRowList::Previous(std::size_t position) const {
    if (position == 0 || position >= FRows.size()) {
        return std::nullopt;
    }
    return position - 1;
}

void TRowList::BeginBatch() {
    if (FBatchDepth++ == 0) {
        FFocusBeforeBatch = FFocused;
        if (FObserver) {
            FObserver->BeginReset();
        }
    }
}

void TRowList::EndBatch() {
    if (FBatchDepth == 0) {
        return;
    }
    if (--FBatchDepth == 0 && FObserver) {
        FObserver->EndReset();
        if (FFocused != FFocusBeforeBatch) {
            FObserver->FocusChanged(FFocused);
        }
    }
}

} // namespace velmora
