#pragma once

#include "core/StrItem.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

/// The text definition dialog: one text and its hotkey (modifier and key). Modal results: 1 OK, 2 Cancel (also
/// the title-bar close). Neither Enter nor Escape ends it.
class TDefineForm final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResultOK = 1;
    static constexpr int kResultCancel = 2;

    /// Builds the controls and fills the key box: empty text, "None" and "F1" selected.
    explicit TDefineForm(QWidget* parent = nullptr);
    TDefineForm(const TDefineForm&) = delete;
    TDefineForm& operator=(const TDefineForm&) = delete;

    /// Fills cbChar with the key choices (each entry carries its key code) and selects the first, "F1".
    void FillKeyChoices();
    /// Shows the item's text, modifier and key; a modifier or key not in its box leaves that box without a choice.
    void SetItem(const TStrItem& item);
    /// Stores the controls into the item (text with CR LF between lines, modifier, key); a box without a choice
    /// keeps the item's value of that field. The enabled flag is not touched.
    void GetItem(TStrItem& item) const;

    /// Cancel: ends the dialog with result 2 (the title-bar close comes here too).
    void reject() override;

    QFrame* Panel1 = nullptr;
    QPlainTextEdit* MemoStr = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cbCtrl = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbChar = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    /// A control that keeps its distances to the right and bottom edges of its parent (and, when it stretches,
    /// also to the left and top edges).
    struct TAnchor {
        QWidget* widget;
        int right;    ///< distance from the parent's right edge to the control's right edge
        int bottom;   ///< distance from the parent's bottom edge to the control's bottom edge
        bool stretch; ///< left and top stay, the size follows the parent
    };
    void Anchor(QWidget* widget, bool stretch);
    void PlaceControls();

    std::vector<TAnchor> FAnchors;
    bool FShownItem = false;
    QString FShownText;      ///< the text as SetItem showed it
    std::string FShownBytes; ///< the item's bytes behind FShownText
};

} // namespace velmora
