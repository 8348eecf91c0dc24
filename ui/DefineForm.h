#pragma once

#include "core/StrItem.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace velmora {

/// The text definition dialog: one text, its hotkey (modifier and key) and how it is typed (key tokens, secret,
/// paste, the pause between characters). Modal results: 1 OK, 2 Cancel (also the title-bar close). Neither Enter
/// nor Escape ends it.
class TDefineForm final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResultOK = 1;
    static constexpr int kResultCancel = 2;

    /// Builds the controls and fills the key box: empty text, "None" and "F1" selected; the typing options unchecked.
    explicit TDefineForm(QWidget* parent = nullptr);
    TDefineForm(const TDefineForm&) = delete;
    TDefineForm& operator=(const TDefineForm&) = delete;

    /// Fills cbChar with the key choices (each entry carries its key code) and selects the first, "F1".
    void FillKeyChoices();
    /// Shows the item's text, modifier, key and typing options; a modifier or key not in its box leaves that box
    /// without a choice.
    void SetItem(const TStrItem& item);
    /// Stores the controls into the item (text with CR LF between lines, modifier, key, keys, secret, paste, delay);
    /// a box without a choice keeps the item's value of that field. The enabled flag is not touched.
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
    QFrame* Panel2 = nullptr;
    QCheckBox* cbKeys = nullptr;
    QLabel* LabelToken = nullptr;
    QCheckBox* cbSecret = nullptr;
    QCheckBox* cbPaste = nullptr;
    QLabel* LabelDelay = nullptr;
    QSpinBox* seDelay = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    /// How an anchored control follows its parent's size.
    enum class TFollow {
        Corner,  ///< keeps its size and its distances to the right and bottom edges
        Stretch, ///< left and top stay, the size follows the parent
        Bottom,  ///< keeps its height and its distance to the bottom edge; left stays, the width follows
    };
    /// A control that keeps its distances to the right and bottom edges of its parent.
    struct TAnchor {
        QWidget* widget;
        int right;  ///< distance from the parent's right edge to the control's right edge
        int bottom; ///< distance from the parent's bottom edge to the control's bottom edge
        TFollow follow;
    };
    /// Remembers the control's distances to its parent's edges as they are now.
    void Anchor(QWidget* widget, TFollow follow);
    /// Moves and sizes the anchored controls for the parents' current sizes.
    void PlaceControls();
    /// Builds the typing options below the buttons.
    void BuildOptions();
    /// While "Keys in the text" is checked, reads the text for its tokens: the first problem is shown under the text
    /// and OK stays disabled until it is mended.
    void CheckTokens();
    /// Paste is unchecked and disabled while Secret is checked: a secret text never goes through the clipboard.
    void SecretChanged();

    std::vector<TAnchor> FAnchors;
    QSize FClientSize; ///< the client area the controls were laid out for
    bool FShownItem = false;
    QString FShownText;      ///< the text as SetItem showed it
    std::string FShownBytes; ///< the item's bytes behind FShownText
};

} // namespace velmora
