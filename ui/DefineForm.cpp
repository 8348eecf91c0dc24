#include "DefineForm.h"

#include "core/KeyNames.h"
#include "core/SnippetTokens.h"
#include "core/TextCodec.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <string_view>

namespace velmora {
namespace {

/// The client area the controls were laid out for: the text and hotkey above the buttons, the typing options below.
constexpr int kClientWidth = 293;
constexpr int kClientHeight = 392;

QString ItemText(std::string_view bytes) {
    const std::u32string text = TextToUnicode(bytes);
    QString shown = QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
    // Shown line by line, whichever line break the text holds.
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

std::string StoredText(const QString& shown) {
    QString text = shown;
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QList<uint> codes = text.toUcs4();
    const std::u32string unicode(codes.begin(), codes.end());
    return UnicodeToText(unicode);
}

/// What is wrong with the tokens of a text as shown ("Character 12: {TABB} is no token: ..."); empty when nothing is.
QString TokenProblem(const QString& shown) {
    const QByteArray bytes = shown.toUtf8();
    const TSnippetParse parse =
        ParseSnippet(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!parse.error) {
        return {};
    }
    // The offset counts bytes; the user counts characters, from 1.
    const qsizetype before =
        QString::fromUtf8(bytes.constData(), static_cast<qsizetype>(parse.error->offset)).toUcs4().size();
    return QStringLiteral("Character %1: %2").arg(before + 1).arg(QString::fromStdString(parse.error->message));
}

/// Widens a label that is too narrow for its text in the current font, keeping its right edge and its middle.
void FitLabel(QLabel* label) {
    const QRect place = label->geometry();
    const QSize hint = label->sizeHint();
    QRect fitted = place;
    if (hint.width() > place.width()) {
        fitted.setLeft(place.right() + 1 - hint.width());
    }
    if (hint.height() > place.height()) {
        fitted.setTop(place.center().y() - hint.height() / 2);
        fitted.setHeight(hint.height());
    }
    label->setGeometry(fitted);
}

/// Widens a drop-down list whose longest entry does not fit its text field in the current font, keeping its right
/// edge (the hotkey row keeps to the dialog's right edge).
void FitComboBox(QComboBox* box) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    int widest = 0;
    for (int i = 0; i < box->count(); ++i) {
        widest = std::max(widest, box->fontMetrics().horizontalAdvance(box->itemText(i)));
    }
    // The style draws the text one pixel inside the field on either side.
    const int missing = widest + 2 - field.width();
    if (missing > 0) {
        QRect place = box->geometry();
        place.setLeft(place.left() - missing);
        box->setGeometry(place);
    }
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TDefineForm::TDefineForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("DefineForm"));
    setSizeGripEnabled(false);
    // The same 11-pixel font as the main window.
    QFont formFont = font();
    formFont.setPixelSize(11);
    setFont(formFont);
    // Modal to the main window only, so that the tray icon still answers while the dialog is open.
    setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    FClientSize = QSize(kClientWidth, kClientHeight);
    resize(FClientSize);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(8, 8, 281, 185);

    MemoStr = new QPlainTextEdit(Panel1);
    MemoStr->setObjectName(QStringLiteral("MemoStr"));
    MemoStr->setGeometry(6, 7, 267, 136);
    MemoStr->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoStr->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStr->setTabChangesFocus(true);

    Label4 = new QLabel(QStringLiteral("HotKey:"), Panel1);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(70, 157, 38, 13);
    FitLabel(Label4);

    cbCtrl = new QComboBox(Panel1);
    cbCtrl->setObjectName(QStringLiteral("cbCtrl"));
    cbCtrl->setGeometry(124, 153, 54, 21);
    for (const char* choice : kModifierChoices) {
        cbCtrl->addItem(QString::fromLatin1(choice));
    }
    cbCtrl->setCurrentIndex(0);
    FitComboBox(cbCtrl);

    Label1 = new QLabel(QStringLiteral("+"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(190, 157, 6, 13);
    FitLabel(Label1);

    cbChar = new QComboBox(Panel1);
    cbChar->setObjectName(QStringLiteral("cbChar"));
    cbChar->setGeometry(220, 153, 42, 21);
    FillKeyChoices();
    FitComboBox(cbChar);

    btnOK = MakeButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(113, 204, 75, 25);
    btnCancel = MakeButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(201, 204, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(kResultOK); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
    BuildOptions();
    // The options' captions are not cut: the dialog widens for them, the controls above keeping their places.
    const int widest = cbKeys->x() + cbKeys->sizeHint().width() + 8 + Panel2->x() * 2;
    FClientSize = QSize(std::max(kClientWidth, widest), kClientHeight);
    Panel2->resize(FClientSize.width() - Panel2->x() * 2, Panel2->height());
    cbKeys->resize(Panel2->width() - 16, cbKeys->height());
    LabelToken->resize(Panel2->width() - LabelToken->x() - 8, LabelToken->height());
    resize(FClientSize);

    setTabOrder(MemoStr, cbCtrl);
    setTabOrder(cbCtrl, cbChar);
    setTabOrder(cbChar, btnOK);
    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, cbKeys);
    setTabOrder(cbKeys, cbSecret);
    setTabOrder(cbSecret, cbPaste);
    setTabOrder(cbPaste, seDelay);
    MemoStr->setFocus();

    // The text box grows with the dialog; the hotkey row and the buttons keep to the bottom-right corner, the
    // options to the bottom.
    Anchor(Panel1, TFollow::Stretch);
    Anchor(MemoStr, TFollow::Stretch);
    for (QWidget* widget :
         {static_cast<QWidget*>(Label4), static_cast<QWidget*>(cbCtrl), static_cast<QWidget*>(Label1),
          static_cast<QWidget*>(cbChar), static_cast<QWidget*>(btnOK), static_cast<QWidget*>(btnCancel)}) {
        Anchor(widget, TFollow::Corner);
    }
    Anchor(Panel2, TFollow::Bottom);
    Anchor(LabelToken, TFollow::Bottom);
}

void TDefineForm::BuildOptions() {
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Sunken);
    Panel2->setLineWidth(1);
    Panel2->setGeometry(8, 238, 281, 146);

    const auto makeCheckBox = [this](const char* name, const QString& text, int top) {
        auto* box = new QCheckBox(text, Panel2);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(8, top, 265, 17);
        return box;
    };
    cbKeys = makeCheckBox("cbKeys", QStringLiteral("Keys in the text ({TAB}, {ENTER}, {DELAY 500}\u2026)"), 6);
    LabelToken = new QLabel(Panel2);
    LabelToken->setObjectName(QStringLiteral("LabelToken"));
    LabelToken->setGeometry(24, 25, 249, 52);
    LabelToken->setWordWrap(true);
    LabelToken->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelToken->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette warning = LabelToken->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    LabelToken->setPalette(warning);
    cbSecret = makeCheckBox("cbSecret", QStringLiteral("Secret (shown as dots)"), 80);
    cbPaste = makeCheckBox("cbPaste", QStringLiteral("Paste instead of typing"), 101);

    LabelDelay = new QLabel(QStringLiteral("Pause between characters:"), Panel2);
    LabelDelay->setObjectName(QStringLiteral("LabelDelay"));
    LabelDelay->setGeometry(8, 123, 150, 13);
    seDelay = new QSpinBox(Panel2);
    seDelay->setObjectName(QStringLiteral("seDelay"));
    seDelay->setGeometry(170, 119, 80, 21);
    seDelay->setRange(0, static_cast<int>(kLongestCharacterDelay));
    seDelay->setSuffix(QStringLiteral(" ms"));
    LabelDelay->setBuddy(seDelay);

    connect(cbKeys, &QCheckBox::toggled, this, &TDefineForm::CheckTokens);
    connect(MemoStr, &QPlainTextEdit::textChanged, this, &TDefineForm::CheckTokens);
    connect(cbSecret, &QCheckBox::toggled, this, &TDefineForm::SecretChanged);
}

void TDefineForm::CheckTokens() {
    const QString problem = cbKeys->isChecked() ? TokenProblem(MemoStr->toPlainText()) : QString();
    LabelToken->setText(problem);
    LabelToken->setToolTip(problem);
    btnOK->setEnabled(problem.isEmpty());
}

void TDefineForm::SecretChanged() {
    if (cbSecret->isChecked()) {
        cbPaste->setChecked(false);
    }
    cbPaste->setEnabled(!cbSecret->isChecked());
}

void TDefineForm::Anchor(QWidget* widget, TFollow follow) {
    const QWidget* parent = widget->parentWidget();
    const QSize parentSize = parent == this ? FClientSize : parent->size();
    const QRect geometry = widget->geometry();
    FAnchors.push_back({widget, parentSize.width() - (geometry.x() + geometry.width()),
                        parentSize.height() - (geometry.y() + geometry.height()), follow});
}

void TDefineForm::PlaceControls() {
    // Parents come before their children in FAnchors, so each child sees its parent's new size.
    for (const TAnchor& anchor : FAnchors) {
        const QSize parentSize = anchor.widget->parentWidget()->size();
        QRect geometry = anchor.widget->geometry();
        switch (anchor.follow) {
        case TFollow::Stretch:
            geometry.setRight(parentSize.width() - anchor.right - 1);
            geometry.setBottom(parentSize.height() - anchor.bottom - 1);
            break;
        case TFollow::Corner:
            geometry.moveBottomRight(
                QPoint(parentSize.width() - anchor.right - 1, parentSize.height() - anchor.bottom - 1));
            break;
        case TFollow::Bottom:
            geometry.setRight(parentSize.width() - anchor.right - 1);
            geometry.moveBottom(parentSize.height() - anchor.bottom - 1);
            break;
        }
        anchor.widget->setGeometry(geometry);
    }
}

void TDefineForm::FillKeyChoices() {
    cbChar->clear();
    for (const KeyChoice& choice : KeyChoices()) {
        const std::string name = KeyName(choice.code);
        if (!name.empty()) {
            cbChar->addItem(QString::fromStdString(name), QVariant(static_cast<int>(choice.code)));
        }
    }
    cbChar->setCurrentIndex(cbChar->count() > 0 ? 0 : -1);
}

void TDefineForm::SetItem(const TStrItem& item) {
    FShownText = ItemText(item.FStr);
    FShownBytes = item.FStr;
    FShownItem = true;
    MemoStr->setPlainText(FShownText);
    cbCtrl->setCurrentIndex(item.FHKCtrl < cbCtrl->count() ? item.FHKCtrl : -1);
    cbChar->setCurrentIndex(cbChar->findData(QVariant(static_cast<int>(item.FHKChar))));
    cbKeys->setChecked(item.FKeys);
    cbSecret->setChecked(item.FSecret);
    cbPaste->setChecked(item.FPaste && !item.FSecret);
    SecretChanged();
    seDelay->setValue(static_cast<int>(std::min(item.FDelay, kLongestCharacterDelay)));
    CheckTokens();
}

void TDefineForm::GetItem(TStrItem& item) const {
    const QString shown = MemoStr->toPlainText();
    // An untouched text keeps its bytes exactly, whatever line breaks or code page it was written with.
    if (!FShownItem || shown != FShownText) {
        item.FStr = StoredText(shown);
        item.FStoredStr.clear(); // the text the file held is replaced
    } else {
        item.FStr = FShownBytes;
    }
    if (const int modifier = cbCtrl->currentIndex(); modifier >= 0) {
        item.FHKCtrl = static_cast<std::uint8_t>(modifier);
    }
    if (const int key = cbChar->currentIndex(); key >= 0) {
        item.FHKChar = cbChar->itemData(key).toInt();
    }
    item.FKeys = cbKeys->isChecked();
    item.FSecret = cbSecret->isChecked();
    item.FPaste = cbPaste->isChecked() && !item.FSecret;
    item.FDelay = static_cast<unsigned>(seDelay->value());
}

void TDefineForm::reject() {
    done(kResultCancel);
}

void TDefineForm::keyPressEvent(QKeyEvent* event) {
    // Neither Escape nor Enter ends the dialog; only the buttons and the title bar do.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TDefineForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceControls();
}

void TDefineForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect frame = frameGeometry();
        move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2) +
             (pos() - frame.topLeft()));
    }
}

} // namespace velmora
