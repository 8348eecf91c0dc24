#pragma once

#include "PickerForm.h"

#include "core/StrItem.h"
#include "platform/WindowFocus.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace velmora {

class TMainCtrl;

/// The picker of all rows: opened by its hotkey or "velmora --pick", it notes the window that has the focus, shows
/// TPickerForm over the screen under the mouse and, once a row is chosen, hides it and types the row when the noted
/// window has the focus again (never into the picker). The rows typed through it come first the next time.
class TPicker : public QObject {
    Q_OBJECT
public:
    /// Says why a chosen row was not typed.
    using TNoteFn = std::function<void(const std::string& text)>;

    /// Offers the rows of `ctrl`, types through its hotkey registry.
    TPicker(TMainCtrl& ctrl, IWindowFocus& focus, TNoteFn note, QObject* parent = nullptr);
    ~TPicker() override;
    TPicker(const TPicker&) = delete;
    TPicker& operator=(const TPicker&) = delete;

    /// Shows the picker with the rows as they are now; one already shown takes the focus again.
    void Open();
    /// The window; none before the first Open.
    TPickerForm* Form() const { return FForm.get(); }

private:
    /// A row was chosen: the picker goes, the focus goes back, the text waits for it.
    void Picked(std::size_t line);
    /// Asks for the focus for the picker until it has it (a short while).
    void TakeFocus();
    /// Types the chosen row once the noted window has the focus, or gives up at the deadline.
    void WaitForFocus();
    /// The chosen row moves to the front of the recent ones.
    void NoteTyped(const TStrItemPtr& item);

    TMainCtrl& FCtrl;
    IWindowFocus& FFocus;
    TNoteFn FNote;
    std::unique_ptr<TPickerForm> FForm;
    std::vector<TStrItemPtr> FOffered;            ///< the items of the lines shown, in list order
    std::vector<std::weak_ptr<TStrItem>> FRecent; ///< the rows typed through the picker, the last one first
    TStrItemPtr FChosen;                          ///< waiting for the focus to go back
    QTimer* FFocusTimer = nullptr;
    QTimer* FWaitTimer = nullptr;
    std::chrono::steady_clock::time_point FDeadline;
};

} // namespace velmora
