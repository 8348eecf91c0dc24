#include "PickerForm.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

/// The item's data role that holds the line's position in the lines set.
constexpr int kLineRole = Qt::UserRole;

} // namespace

TPickerForm::TPickerForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("PickerForm");
    setWindowTitle("Velmora: type a row");
    resize(460, 300);
    Filter = new QLineEdit(this);
    Filter->setObjectName("Filter");
    Filter->setPlaceholderText("Words of the row");
    Filter->installEventFilter(this);
    List = new QTreeWidget(this);
    List->setObjectName("List");
    List->setColumnCount(3);
    List->setHeaderLabels({"No.", "Hotkey", "Text"});
    List->setRootIsDecorated(false);
    List->setFocusPolicy(Qt::NoFocus);
    List->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    List->header()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(Filter);
    layout->addWidget(List);
    connect(Filter, &QLineEdit::textChanged, this, &TPickerForm::Refill);
    connect(Filter, &QLineEdit::returnPressed, this, &TPickerForm::Pick);
    connect(List, &QTreeWidget::itemDoubleClicked, this, &TPickerForm::Pick);
}

void TPickerForm::SetLines(std::vector<TPickerLine> lines) {
    FLines = std::move(lines);
    FRows.clear();
    for (const TPickerLine& line : FLines) {
        FRows.push_back({line.number + ' ' + line.hotkey + ' ' + line.label, line.recency});
    }
    FPicking = false;
    Filter->clear();
    Refill();
    Filter->setFocus();
}

void TPickerForm::Refill() {
    List->clear();
    for (const std::size_t index : PickerOrder(FRows, Filter->text())) {
        const TPickerLine& line = FLines[index];
        auto* item = new QTreeWidgetItem(List, {line.number, line.hotkey, line.label});
        item->setData(0, kLineRole, static_cast<qulonglong>(index));
    }
    if (List->topLevelItemCount() > 0) {
        List->setCurrentItem(List->topLevelItem(0));
    }
}

std::optional<std::size_t> TPickerForm::Chosen() const {
    const QTreeWidgetItem* item = List->currentItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(item->data(0, kLineRole).toULongLong());
}

void TPickerForm::Pick() {
    if (const std::optional<std::size_t> line = Chosen()) {
        FPicking = true;
        emit Picked(*line);
    }
}

bool TPickerForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Filter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int count = List->topLevelItemCount();
        const int current = List->currentItem() != nullptr ? List->indexOfTopLevelItem(List->currentItem()) : -1;
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && count > 0) {
            const int next = key == Qt::Key_Down ? std::min(current + 1, count - 1) : std::max(current - 1, 0);
            List->setCurrentItem(List->topLevelItem(next));
            return true;
        }
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TPickerForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!FPicking) {
        emit Cancelled();
    }
}

} // namespace velmora
