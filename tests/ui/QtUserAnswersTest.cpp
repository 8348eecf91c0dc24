#include "ui/QtUserAnswers.h"
#include "ui/ItemListView.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace velmora::testing {
namespace {

/// Runs `inspect` on the modal dialog that the next call opens, once it is open.
void WhenModalOpens(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, [inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr) << "no modal dialog opened";
        inspect(modal);
    });
}

TEST(QtUserAnswers, TheListFilterBecomesAQtFilterThatAlsoMatchesLowerCase) {
    EXPECT_EQ(TQtUserAnswers::QtFilter("XML File|*.XML"), "XML File (*.XML *.xml)");
    EXPECT_EQ(TQtUserAnswers::QtFilter("A|*.a;*.B|All|*"), "A (*.a *.B *.b);;All (*)");
}

TEST(QtUserAnswers, QuestionsAreTitledWarningWithTheQuestionIconAndYesMeansTrue) {
    TQtUserAnswers answers;
    WhenModalOpens([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Warning");
        EXPECT_EQ(box->text(), "Are you sure to delete the click?");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(answers.AskYesNo("Are you sure to delete the click?"));

    WhenModalOpens([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click(); });
    EXPECT_FALSE(answers.AskYesNo("again?"));

    WhenModalOpens([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Warning");
        EXPECT_EQ(box->text(), "The file does not exist.");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        box->button(QMessageBox::Ok)->click();
    });
    answers.Notice("The file does not exist.");
}

TEST(QtUserAnswers, TheSaveDialogLeavesTheOverwriteQuestionToTheCallerAndAddsXml) {
    TQtUserAnswers answers;
    WhenModalOpens([](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->defaultSuffix(), "xml");
        EXPECT_EQ(dialog->nameFilters(), QStringList{"XML File (*.XML *.xml)"});
        dialog->reject();
    });
    EXPECT_EQ(answers.PickSaveFile(".xml", "XML File|*.XML", ""), "");

    WhenModalOpens([](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile) << "the caller tells a missing file itself";
        dialog->reject();
    });
    EXPECT_EQ(answers.PickOpenFile(".xml", "XML File|*.XML", ""), "");
}

TEST(QtUserAnswers, OverAWindowTheDialogsBlockThatWindowOnly) {
    QWidget owner;
    owner.show();
    TQtUserAnswers answers(&owner);
    std::vector<Qt::WindowModality> seen;
    const auto note = [&seen](QWidget* modal) {
        seen.push_back(modal->windowModality());
        EXPECT_TRUE(modal->isModal());
        modal->close();
    };
    WhenModalOpens(note);
    answers.Warn("text");
    WhenModalOpens(note);
    answers.AskYesNo("question?");
    WhenModalOpens(note);
    answers.PickOpenFile(".xml", "XML File|*.XML", "");
    WhenModalOpens(note);
    answers.PickSaveFile(".xml", "XML File|*.XML", "");
    EXPECT_EQ(seen, std::vector<Qt::WindowModality>(4, Qt::WindowModal));

    TQtUserAnswers alone;
    WhenModalOpens(note);
    alone.Warn("text");
    EXPECT_EQ(seen.back(), Qt::ApplicationModal);
}

TEST(ItemListView, ATextWiderThanItsCellIsCutAndEndsInThreeDots) {
    const QFontMetrics metrics(QApplication::font());
    EXPECT_EQ(TItemListView::Elided(metrics, "short", 400), "short");
    const QString longText(200, QLatin1Char('W'));
    const int width = 100;
    const QString shown = TItemListView::Elided(metrics, longText, width);
    EXPECT_TRUE(shown.endsWith("...")) << shown.toStdString();
    EXPECT_TRUE(longText.startsWith(shown.chopped(3)));
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_GT(metrics.horizontalAdvance(TItemListView::Elided(metrics, longText, width + 50)),
              metrics.horizontalAdvance(shown))
        << "a wider cell shows more";
    // A character outside the basic plane is never cut in half.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
    const QString cut = TItemListView::Elided(metrics, emoji, width);
    EXPECT_EQ(cut.chopped(3).size() % 2, 0);
}

} // namespace
} // namespace velmora::testing
