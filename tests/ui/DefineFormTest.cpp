#include "ui/DefineForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

TStrItem Item(std::string text, std::uint8_t modifier, std::int32_t key) {
    TStrItem item;
    item.FStr = std::move(text);
    item.FHKCtrl = modifier;
    item.FHKChar = key;
    return item;
}

TEST(DefineForm, OpensEmptyWithNoneAndF1AndOkAtOnceGivesThoseValues) {
    TDefineForm form;
    EXPECT_EQ(form.height(), 392) << "the typing options below the buttons";
    EXPECT_GE(form.width(), 293);
    EXPECT_TRUE(form.MemoStr->toPlainText().isEmpty());
    EXPECT_EQ(form.cbCtrl->count(), 3);
    EXPECT_EQ(form.cbCtrl->currentText(), "None");
    ASSERT_EQ(form.cbChar->count(), 48);
    EXPECT_EQ(form.cbChar->currentText(), "F1");
    EXPECT_EQ(form.cbChar->itemText(47), "Z");
    EXPECT_EQ(form.Label4->text(), "HotKey:");
    EXPECT_EQ(form.btnOK->text(), "&OK");
    EXPECT_EQ(form.btnCancel->text(), "&Cancel");

    TStrItem item = Item("old", 2, 90);
    item.FChecked = true;
    form.GetItem(item);
    EXPECT_EQ(item.FStr, "");
    EXPECT_EQ(item.FHKCtrl, 0);
    EXPECT_EQ(item.FHKChar, 112);
    EXPECT_TRUE(item.FChecked) << "the enabled flag is not the dialog's";
}

TEST(DefineForm, ShowsAnItemAndOkUnchangedKeepsItsValues) {
    TDefineForm form;
    const TStrItem original = Item("abc", 2, 90);
    form.SetItem(original);
    EXPECT_EQ(form.MemoStr->toPlainText(), "abc");
    EXPECT_EQ(form.cbCtrl->currentText(), "ALT");
    EXPECT_EQ(form.cbChar->currentText(), "Z");

    TStrItem item = original;
    form.GetItem(item);
    EXPECT_EQ(item, original);

    form.cbChar->setCurrentIndex(form.cbChar->findText("7"));
    form.GetItem(item);
    EXPECT_EQ(item.FHKChar, 55);
    EXPECT_EQ(item.FStr, "abc");
    EXPECT_EQ(item.FHKCtrl, 2);
}

TEST(DefineForm, LinesAreStoredWithCrLfAndShownLineByLine) {
    TDefineForm form;
    form.SetItem(Item("one\r\ntwo\r\n", 0, 112));
    EXPECT_EQ(form.MemoStr->blockCount(), 3);
    EXPECT_EQ(form.MemoStr->document()->findBlockByNumber(1).text(), "two");

    TStrItem item = Item("", 0, 112);
    form.MemoStr->setPlainText("first\nsecond \xC3\xA9");
    form.GetItem(item);
    EXPECT_EQ(item.FStr, "first\r\nsecond \xC3\xA9");

    form.SetItem(item);
    TStrItem again;
    form.GetItem(again);
    EXPECT_EQ(again.FStr, item.FStr);
}

TEST(DefineForm, AnUntouchedTextKeepsItsBytesAndAnOutOfRangeHotkeyKeepsItsFields) {
    TDefineForm form;
    const TStrItem legacy = Item("caf\xE9\nlf only", 3, 200);
    form.SetItem(legacy);
    EXPECT_EQ(form.MemoStr->toPlainText(), QString::fromUtf8("caf\xC3\xA9\nlf only"));
    EXPECT_EQ(form.cbCtrl->currentIndex(), -1);
    EXPECT_EQ(form.cbChar->currentIndex(), -1);

    TStrItem item = legacy;
    form.GetItem(item);
    EXPECT_EQ(item, legacy);

    form.cbCtrl->setCurrentIndex(1);
    form.GetItem(item);
    EXPECT_EQ(item.FHKCtrl, 1);
    EXPECT_EQ(item.FHKChar, 200);
}

TEST(DefineForm, NeitherEnterNorEscapeEndsItOnlyTheButtonsAndTheTitleBar) {
    TDefineForm form;
    form.open();
    ASSERT_TRUE(form.isVisible());
    form.activateWindow();
    form.MemoStr->setFocus();

    QTest::keyClick(form.MemoStr, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    QTest::keyClicks(form.MemoStr, "a");
    QTest::keyClick(form.MemoStr, Qt::Key_Return);
    QTest::keyClicks(form.MemoStr, "b");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.MemoStr->toPlainText(), "a\nb") << "Enter starts a new line";
    EXPECT_TRUE(form.MemoStr->tabChangesFocus());

    QTest::keyClick(form.btnOK, Qt::Key_Return);
    QTest::keyClick(form.cbChar, Qt::Key_Enter);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.btnOK->isDefault() || form.btnOK->autoDefault());
    EXPECT_FALSE(form.btnCancel->isDefault() || form.btnCancel->autoDefault());

    form.close(); // the title bar's close
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), TDefineForm::kResultCancel);

    form.open();
    QTest::mouseClick(form.btnOK, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), TDefineForm::kResultOK);

    form.open();
    QTest::mouseClick(form.btnCancel, Qt::LeftButton);
    EXPECT_EQ(form.result(), TDefineForm::kResultCancel);
}

TEST(DefineForm, TheTextBoxGrowsAndTheHotkeyRowAndButtonsKeepToTheCorner) {
    TDefineForm form;
    form.show();
    const QRect memo = form.MemoStr->geometry();
    const QRect ok = form.btnOK->geometry();
    const QRect key = form.cbChar->geometry();
    const QRect label = form.Label4->geometry();
    EXPECT_EQ(memo, QRect(6, 7, 267, 136));
    EXPECT_EQ(ok, QRect(113, 204, 75, 25));

    const QSize designed = form.size();
    form.resize(designed + QSize(100, 50));
    EXPECT_EQ(form.MemoStr->geometry(), memo.adjusted(0, 0, 100, 50));
    EXPECT_EQ(form.btnOK->geometry(), ok.translated(100, 50));
    EXPECT_EQ(form.cbChar->geometry(), key.translated(100, 50));
    EXPECT_EQ(form.Label4->geometry(), label.translated(100, 50));
    EXPECT_EQ(form.Panel1->geometry(), QRect(8, 8, 281 + 100, 185 + 50));
    EXPECT_EQ(form.Panel2->geometry(), QRect(8, 238 + 50, designed.width() - 16 + 100, 146))
        << "the options keep to the bottom";
}

TEST(DefineForm, EveryChoiceIsReadableInItsBoxAndTheHotkeyRowKeepsItsRightEdge) {
    TDefineForm form;
    form.show();
    for (QComboBox* box : {form.cbCtrl, form.cbChar}) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        const QRect field =
            box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i) {
            EXPECT_LE(box->fontMetrics().horizontalAdvance(box->itemText(i)) + 2, field.width())
                << box->objectName().toStdString() << " cuts " << box->itemText(i).toStdString();
        }
    }
    EXPECT_EQ(form.cbCtrl->geometry().right(), 124 + 54 - 1);
    EXPECT_EQ(form.cbChar->geometry().right(), 220 + 42 - 1);
    EXPECT_EQ(form.cbCtrl->y(), 153);
    EXPECT_EQ(form.cbChar->height(), 21);
    EXPECT_LT(form.Label4->geometry().right(), form.cbCtrl->x());
    EXPECT_LT(form.cbCtrl->geometry().right(), form.Label1->x());
    EXPECT_LT(form.Label1->geometry().right(), form.cbChar->x());
}

TEST(DefineForm, WithKeysInTheTextABadTokenIsShownAndOkWaitsUntilItIsMended) {
    TDefineForm form;
    form.SetItem(Item("caf\xC3\xA9 {TABB}", 0, 112));
    EXPECT_TRUE(form.btnOK->isEnabled()) << "without keys in the text braces are plain characters";
    EXPECT_TRUE(form.LabelToken->text().isEmpty());

    form.cbKeys->setChecked(true);
    EXPECT_FALSE(form.btnOK->isEnabled());
    EXPECT_TRUE(form.LabelToken->text().startsWith("Character 6: {TABB} is no token"))
        << form.LabelToken->text().toStdString();
    EXPECT_EQ(form.MemoStr->toPlainText(), QString::fromUtf8("caf\xC3\xA9 {TABB}")) << "nothing typed is lost";

    form.MemoStr->setPlainText(QString::fromUtf8("caf\xC3\xA9 {TAB}"));
    EXPECT_TRUE(form.btnOK->isEnabled());
    EXPECT_TRUE(form.LabelToken->text().isEmpty());
    form.MemoStr->setPlainText("{");
    EXPECT_FALSE(form.btnOK->isEnabled());
    form.cbKeys->setChecked(false);
    EXPECT_TRUE(form.btnOK->isEnabled());
}

TEST(DefineForm, TheTypingOptionsRoundTripAndSecretForcesPasteOff) {
    TDefineForm form;
    EXPECT_EQ(form.cbKeys->text(), QString::fromUtf8("Keys in the text ({TAB}, {ENTER}, {DELAY 500}\xE2\x80\xA6)"));
    EXPECT_EQ(form.seDelay->maximum(), 1000);
    TStrItem item = Item("{ENTER}", 1, 65);
    item.FKeys = true;
    item.FPaste = true;
    item.FDelay = 250;
    form.SetItem(item);
    TStrItem back = Item("", 0, 112);
    form.GetItem(back);
    EXPECT_EQ(back, item);

    form.cbSecret->setChecked(true);
    EXPECT_FALSE(form.cbPaste->isChecked());
    EXPECT_FALSE(form.cbPaste->isEnabled());
    form.GetItem(back);
    EXPECT_TRUE(back.FSecret);
    EXPECT_FALSE(back.FPaste);
    form.cbSecret->setChecked(false);
    EXPECT_TRUE(form.cbPaste->isEnabled());

    item.FSecret = true; // a file may say both; a secret is never pasted
    form.SetItem(item);
    EXPECT_FALSE(form.cbPaste->isChecked());
    EXPECT_FALSE(form.cbPaste->isEnabled());
}

TEST(DefineForm, OverAWindowItBlocksThatWindowOnly) {
    QWidget owner;
    TDefineForm over(&owner);
    EXPECT_EQ(over.windowModality(), Qt::WindowModal);
    TDefineForm alone;
    EXPECT_EQ(alone.windowModality(), Qt::ApplicationModal);
}

} // namespace
} // namespace velmora::testing
