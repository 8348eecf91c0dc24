#include "Picker.h"

#include "MainCtrl.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

/// How long the noted window may take to have the focus again before the text is given up.
constexpr std::chrono::seconds kFocusBackTimeout{3};
/// How long the picker asks for the focus after it is shown.
constexpr std::chrono::milliseconds kTakeFocusTimeout{1500};
constexpr int kPollMs = 20;

QString FirstLine(const std::string& text) {
    const QString all = QString::fromStdString(text);
    return all.left(all.indexOf(QRegularExpression(QStringLiteral("[\r\n]"))));
}

} // namespace

TPicker::TPicker(TMainCtrl& ctrl, IWindowFocus& focus, TNoteFn note, QObject* parent)
    : QObject(parent), FCtrl(ctrl), FFocus(focus), FNote(std::move(note)), FFocusTimer(new QTimer(this)),
      FWaitTimer(new QTimer(this)) {
    FFocusTimer->setInterval(kPollMs * 5);
    FWaitTimer->setInterval(kPollMs);
    connect(FFocusTimer, &QTimer::timeout, this, &TPicker::TakeFocus);
    connect(FWaitTimer, &QTimer::timeout, this, &TPicker::WaitForFocus);
}

TPicker::~TPicker() = default;

void TPicker::Open() {
    if (!FForm) {
        FForm = std::make_unique<TPickerForm>();
        connect(FForm.get(), &TPickerForm::Picked, this, &TPicker::Picked);
        // Esc: the focus goes back as after a choice, where the window manager would leave it elsewhere.
        connect(FForm.get(), &TPickerForm::Cancelled, this, [this] {
            FFocusTimer->stop();
            FFocus.GiveBack();
        });
    }
    if (FForm->isVisible()) {
        FForm->activateWindow();
        return;
    }
    FWaitTimer->stop(); // a row still waiting for the focus is given up: the user asked anew
    FChosen.reset();
    FFocus.Remember();
    FOffered.clear();
    std::vector<TPickerLine> lines;
    const TRowList& rows = FCtrl.Rows();
    for (std::size_t row = 0; row < rows.Count(); ++row) {
        const TStrItemPtr& item = rows.Item(row);
        const auto recent = std::find_if(FRecent.begin(), FRecent.end(), [&item](const std::weak_ptr<TStrItem>& typed) {
            return typed.lock() == item;
        });
        lines.push_back({QString::fromStdString(FCtrl.GetCellText(row, 0)),
                         QString::fromStdString(FCtrl.GetCellText(row, 1)), FirstLine(FCtrl.GetCellText(row, 2)),
                         recent != FRecent.end() && item ? static_cast<int>(recent - FRecent.begin()) : -1});
        FOffered.push_back(item);
    }
    FForm->SetLines(std::move(lines));
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        QRect frame = FForm->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        FForm->move(frame.topLeft());
    }
    FForm->show();
    FForm->raise();
    FForm->activateWindow();
    FDeadline = std::chrono::steady_clock::now() + kTakeFocusTimeout;
    FFocusTimer->start();
}

void TPicker::TakeFocus() {
    if (!FForm->isVisible() || FForm->isActiveWindow() || std::chrono::steady_clock::now() > FDeadline) {
        FFocusTimer->stop();
        return;
    }
    FFocus.Activate(static_cast<unsigned long>(FForm->winId()));
}

void TPicker::Picked(std::size_t line) {
    if (line >= FOffered.size() || !FOffered[line]) {
        return;
    }
    FChosen = FOffered[line];
    FFocusTimer->stop();
    FForm->hide();
    FFocus.GiveBack();
    FDeadline = std::chrono::steady_clock::now() + kFocusBackTimeout;
    FWaitTimer->start();
}

void TPicker::WaitForFocus() {
    // None of our shown windows may have the focus (else the keys would reach the picker or the main window; a
    // hidden one keeps it in Qt's books on some platforms), and the noted window must have it.
    const QWindow* focused = QGuiApplication::focusWindow();
    if ((focused == nullptr || !focused->isVisible()) && FFocus.IsBack()) {
        FWaitTimer->stop();
        const TStrItemPtr item = std::move(FChosen);
        NoteTyped(item);
        FCtrl.HotKeys().TypeItem(*item);
        return;
    }
    if (std::chrono::steady_clock::now() > FDeadline) {
        FWaitTimer->stop();
        FChosen.reset();
        if (FNote) {
            FNote("The chosen row was not typed: the window that had the focus did not get it back.");
        }
    }
}

void TPicker::NoteTyped(const TStrItemPtr& item) {
    std::erase_if(FRecent, [&item](const std::weak_ptr<TStrItem>& typed) {
        const TStrItemPtr held = typed.lock();
        return !held || held == item;
    });
    FRecent.insert(FRecent.begin(), item);
}

} // namespace velmora
