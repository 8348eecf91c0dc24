#include "core/ListFile.h"

#include "core/Base64.h"
#include "core/PosixFileSystem.h"
#include "core/Producer.h"

#include "TempFolder.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/FakeUserAnswers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using velmora::CreateXmlDocument;
using velmora::EncodeBase64;
using velmora::FileError;
using velmora::IRowListObserver;
using velmora::IXmlDocument;
using velmora::ListTemplateText;
using velmora::SelectSaveFile;
using velmora::TListFile;
using velmora::TPosixFileSystem;
using velmora::TRowList;
using velmora::TStrItem;
using velmora::TStrItemPtr;
using velmora::testing::FakeFileSystem;
using velmora::testing::FakeUserAnswers;
using velmora::testing::TempFolder;

namespace {

const std::string kDefault = "/opt/velmora/mouses.xml";
const std::string kHeader = R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>)";
const std::string kListStart = kHeader + R"(<list versionNo="1.0" generated=")" + velmora::kProducerText + "\">";

std::string ItemXml(const std::string& text, int ctrl, int key, bool checked) {
    return "<item FStr=\"" + EncodeBase64(text) + "\" FHKCtrl=\"" + std::to_string(ctrl) + "\" FHKChar=\"" +
           std::to_string(key) + "\" checked=\"" + (checked ? "True" : "False") + "\"/>";
}

std::string ListXml(const std::string& items) {
    return kListStart + items + "</list>";
}

TStrItemPtr NewItem(const std::string& text, std::uint8_t ctrl = 0, std::int32_t key = 65) {
    return std::make_shared<TStrItem>(text, ctrl, key);
}

// Counts the observer's events by kind.
class CountingObserver final : public IRowListObserver {
public:
    int resets = 0;
    int granular = 0;
    void BeginReset() override { ++resets; }
    void EndReset() override {}
    void BeginAppend(std::size_t) override { ++granular; }
    void EndAppend() override {}
    void BeginRemove(std::size_t) override { ++granular; }
    void EndRemove() override {}
    void RowChanged(std::size_t) override { ++granular; }
    void FocusChanged(std::optional<std::size_t>) override {}
};

class ListFileTest : public ::testing::Test {
protected:
    // The rows as "text ctrl key checked" lines, checked from the row's box.
    std::vector<std::string> Rows() const {
        std::vector<std::string> lines;
        for (auto row = rows_.First(); row; row = rows_.Next(*row)) {
            const TStrItem& item = *rows_.Item(*row);
            lines.push_back(item.FStr + " " + std::to_string(item.FHKCtrl) + " " + std::to_string(item.FHKChar) +
                            (rows_.Checked(*row) ? " on" : " off"));
        }
        return lines;
    }

    FakeFileSystem fs_;
    FakeUserAnswers answers_;
    TRowList rows_;
    std::unique_ptr<IXmlDocument> doc_ = CreateXmlDocument();
    TListFile list_{rows_, *doc_, fs_, answers_};
};

} // namespace

TEST_F(ListFileTest, StartWithoutAFileThenTheSaveAtExitWritesTheRowsInOrder) {
    list_.LoadList(false);
    EXPECT_EQ(rows_.Count(), 0u);
    EXPECT_EQ(list_.FileName(), kDefault);
    EXPECT_TRUE(answers_.History().empty());

    rows_.Append(NewItem("first", 1, 116), true);
    rows_.Append(NewItem("second", 2, 48), true);
    rows_.SetChecked(1, false);
    list_.SaveList(false);

    EXPECT_EQ(fs_.File(kDefault), ListXml(ItemXml("first", 1, 116, true) + ItemXml("second", 2, 48, false)));
    EXPECT_FALSE(rows_.Item(1)->FChecked) << "the row's box is copied into the item";
    EXPECT_TRUE(rows_.Item(0)->FChecked);
}

TEST_F(ListFileTest, AnEmptyListIsSavedWithoutChildrenAndLoadsBackEmpty) {
    EXPECT_EQ(ListTemplateText(), kHeader + R"(<list versionNo="1.0" generated="https://velmora.org/"/>)");
    list_.LoadList(false);
    list_.SaveList(false);
    EXPECT_EQ(fs_.File(kDefault), ListTemplateText());

    rows_.Append(NewItem("stale"));
    answers_.AnswerOpen(kDefault);
    list_.LoadList(true);
    EXPECT_EQ(rows_.Count(), 0u);
    EXPECT_TRUE(answers_.Warnings().empty());
}

TEST_F(ListFileTest, TheSavedFileIsTheDocumentRebuiltFromTheRowsAndTheDocumentFollows) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) {
        allBytes += static_cast<char>(i);
    }
    list_.LoadList(false);
    rows_.Append(NewItem("", 0, 0), true);
    rows_.Append(NewItem("a", 255, -1));
    rows_.Append(NewItem("ab", 1, 2147483647), true);
    rows_.Append(NewItem("abc\r\n\xC3\xA9", 2, -2147483647 - 1));
    rows_.Append(NewItem(allBytes, 128, 65), true);
    list_.SaveList(false);

    // The same rows through the document, element by element.
    auto rebuilt = CreateXmlDocument();
    rebuilt->LoadText(ListTemplateText());
    for (auto row = rows_.First(); row; row = rows_.Next(*row)) {
        rows_.Item(*row)->SaveStrItem(rebuilt->Root());
    }
    EXPECT_EQ(fs_.File(kDefault), rebuilt->SaveText());
    ASSERT_EQ(doc_->Root().ChildCount(), rows_.Count());
    EXPECT_EQ(doc_->Root().Child(4).Attribute("FStr"), EncodeBase64(allBytes));
    EXPECT_EQ(doc_->SaveText(), fs_.File(kDefault));

    // A write that fails still leaves the document rebuilt from the rows, and the old file as it was.
    rows_.Delete(0);
    fs_.FailReplaces();
    EXPECT_THROW(list_.SaveList(false), FileError);
    EXPECT_EQ(doc_->Root().ChildCount(), 4u);
    EXPECT_EQ(fs_.File(kDefault), rebuilt->SaveText());
}

TEST_F(ListFileTest, LoadGivesOneRowPerChildOfTheRootInOneBatch) {
    fs_.SetFile("/home/u/three.xml",
                ListXml(ItemXml("a", 0, 65, true) + ItemXml("b", 1, 112, false) + ItemXml("c", 2, 57, true)));
    rows_.Append(NewItem("old"));
    CountingObserver observer;
    rows_.SetObserver(&observer);

    answers_.AnswerOpen("/home/u/three.xml");
    list_.LoadList(true);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a 0 65 on", "b 1 112 off", "c 2 57 on"}));
    EXPECT_EQ(list_.FileName(), "/home/u/three.xml");
    EXPECT_EQ(doc_->Root().ChildCount(), 3u) << "the list document holds the loaded file";
    EXPECT_EQ(observer.resets, 1);
    EXPECT_EQ(observer.granular, 0);
    EXPECT_EQ(answers_.TextsOf("open"), (std::vector<std::string>{".xml|XML File|*.XML|"}));

    // Any root name; a comment is a row of its own; indentation gives no rows.
    fs_.SetFile("/home/u/other.xml", "<stuff>\n  " + ItemXml("x", 0, 66, false) + "\n  <!-- note -->\n  <other/>\n" +
                                         "  " + ItemXml("y", 1, 67, true) + "\n</stuff>\n");
    answers_.AnswerOpen("/home/u/other.xml");
    list_.LoadList(true);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"x 0 66 off", " 0 0 off", " 0 0 off", "y 1 67 on"}));
}

TEST_F(ListFileTest, ASaveWithADialogKeepsTheCurrentFileForTheSaveAtExit) {
    fs_.SetFile("/home/u/loaded.xml", ListXml(ItemXml("a", 0, 65, true)));
    answers_.AnswerOpen("/home/u/loaded.xml");
    list_.LoadList(true);
    rows_.Append(NewItem("b"), true);

    answers_.AnswerSave("/home/u/copy.xml");
    list_.SaveList(true);
    const std::string both = ListXml(ItemXml("a", 0, 65, true) + ItemXml("b", 0, 65, true));
    EXPECT_EQ(fs_.File("/home/u/copy.xml"), both);
    EXPECT_EQ(fs_.File("/home/u/loaded.xml"), ListXml(ItemXml("a", 0, 65, true)));
    EXPECT_EQ(list_.FileName(), "/home/u/loaded.xml");

    list_.SaveList(false);
    EXPECT_EQ(fs_.File("/home/u/loaded.xml"), both);
    EXPECT_EQ(fs_.CallsOf("replace").size(), 2u);
}

TEST_F(ListFileTest, NoToTheOverwriteQuestionOrACancelWritesNothingAndYesReplacesWithoutDeleting) {
    fs_.SetFile("/home/u/keep.xml", "precious");
    rows_.Append(NewItem("a"), false);

    answers_.AnswerSave("/home/u/keep.xml");
    answers_.AnswerYesNo(false);
    list_.SaveList(true);
    answers_.AnswerSave("");
    list_.SaveList(true);
    EXPECT_EQ(fs_.File("/home/u/keep.xml"), "precious");
    EXPECT_TRUE(fs_.CallsOf("replace").empty());
    EXPECT_EQ(answers_.TextsOf("yesno"),
              (std::vector<std::string>{"A file with the same name already exists,overwrite?"}));

    // Yes: the chosen file is replaced by the write alone, and a failing write leaves it as it was.
    fs_.FailReplaces(ENOSPC, 10, 1);
    answers_.AnswerSave("/home/u/keep.xml");
    answers_.AnswerYesNo(true);
    try {
        list_.SaveList(true);
        ADD_FAILURE() << "the failed write was not reported";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("/home/u/keep.xml"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
    }
    EXPECT_EQ(fs_.File("/home/u/keep.xml"), "precious");
    EXPECT_EQ(fs_.LastPartialWrite(), kHeader.substr(0, 10));

    answers_.AnswerSave("/home/u/keep.xml");
    answers_.AnswerYesNo(true);
    list_.SaveList(true);
    EXPECT_EQ(fs_.File("/home/u/keep.xml"), ListXml(ItemXml("a", 0, 65, false)));
    EXPECT_TRUE(fs_.CallsOf("rename").empty());
    EXPECT_TRUE(answers_.AllAnswersUsed());
}

TEST_F(ListFileTest, ACancelledOrMissingChoiceChangesNothing) {
    fs_.SetFile(kDefault, ListXml(ItemXml("a", 0, 65, true)));
    list_.LoadList(false);
    const TStrItemPtr before = rows_.Item(0);
    const std::string document = doc_->SaveText();

    answers_.AnswerOpen("");
    list_.LoadList(true);
    answers_.AnswerOpen("/home/u/typo.xml");
    list_.LoadList(true);
    EXPECT_EQ(answers_.TextsOf("notice"), (std::vector<std::string>{"The file does not exist."}));
    EXPECT_TRUE(answers_.Warnings().empty());
    EXPECT_EQ(rows_.Count(), 1u);
    EXPECT_EQ(rows_.Item(0), before);
    EXPECT_EQ(list_.FileName(), kDefault);
    EXPECT_EQ(doc_->SaveText(), document);
}

TEST_F(ListFileTest, ALoadThatFailsChangesNothingAndNamesTheFileAndTheReason) {
    fs_.SetFile(kDefault, ListXml(ItemXml("kept", 1, 112, true) + ItemXml("too", 0, 65, false)));
    list_.LoadList(false);
    rows_.SetChecked(1, true); // a working state the failed load must not touch
    const std::vector<std::string> rowsBefore = Rows();
    const TStrItemPtr firstBefore = rows_.Item(0);
    const std::string documentBefore = doc_->SaveText();

    struct Case {
        std::string path, content, reason;
    };
    const Case cases[] = {
        {"/home/u/broken.xml", kListStart + ItemXml("a", 0, 65, true) + "<item", "Not a well-formed XML document"},
        {"/home/u/badkey.xml",
         ListXml(ItemXml("a", 0, 65, true) + ItemXml("b", 0, 65, true) + R"(<item FStr="" FHKChar="F5"/>)"), "item 3"},
        {"/home/u/badcheck.xml", ListXml(R"(<item checked="maybe"/>)"), "maybe"},
        {"/home/u/locked.xml", ListXml(ItemXml("a", 0, 65, true)), "Permission denied"},
    };
    fs_.FailReadsOf("/home/u/locked.xml", EACCES);
    for (const Case& c : cases) {
        fs_.SetFile(c.path, c.content);
        answers_.AnswerOpen(c.path);
        list_.LoadList(true);
        ASSERT_FALSE(answers_.Warnings().empty()) << c.path;
        const std::string warning = answers_.Warnings().back();
        EXPECT_NE(warning.find(c.path), std::string::npos) << warning;
        EXPECT_NE(warning.find(c.reason), std::string::npos) << warning;
        EXPECT_EQ(Rows(), rowsBefore) << c.path;
        EXPECT_EQ(rows_.Item(0), firstBefore) << c.path;
        EXPECT_EQ(list_.FileName(), kDefault) << c.path;
        EXPECT_EQ(doc_->SaveText(), documentBefore) << c.path;
        EXPECT_FALSE(list_.OpenListFile(c.path)) << c.path;
        EXPECT_EQ(list_.FileName(), kDefault) << c.path;
    }
    EXPECT_EQ(answers_.Warnings().size(), 2 * std::size(cases));
    // The save at exit goes to the file that was loaded, with the working state.
    list_.SaveList(false);
    EXPECT_EQ(fs_.File(kDefault), ListXml(ItemXml("kept", 1, 112, true) + ItemXml("too", 0, 65, true)));
    EXPECT_EQ(fs_.File("/home/u/broken.xml"), cases[0].content);
    // A failed load after a save leaves the document as the save made it.
    answers_.AnswerOpen("/home/u/badkey.xml");
    list_.LoadList(true);
    EXPECT_EQ(doc_->SaveText(), fs_.File(kDefault));
}

TEST_F(ListFileTest, AnUnreadableDefaultFileIsMovedAsideBesideEarlierOnesAndTheListStartsEmpty) {
    const std::string corrupt = kListStart + ItemXml("a", 0, 65, true) + R"(<item FHKCtrl="x"/></list>)";
    fs_.SetFile(kDefault, corrupt);
    fs_.SetFile(kDefault + ".unreadable", "first casualty");
    fs_.SetFile(kDefault + ".unreadable.1", "second casualty");
    fs_.AddFolder(kDefault + ".unreadable.2"); // not a file, and not to be replaced either

    list_.LoadList(false);
    EXPECT_EQ(rows_.Count(), 0u);
    EXPECT_FALSE(fs_.File(kDefault).has_value());
    EXPECT_EQ(fs_.File(kDefault + ".unreadable.3"), corrupt);
    EXPECT_EQ(fs_.File(kDefault + ".unreadable"), "first casualty");
    EXPECT_EQ(fs_.File(kDefault + ".unreadable.1"), "second casualty");
    ASSERT_EQ(answers_.Warnings().size(), 1u);
    EXPECT_NE(answers_.Warnings()[0].find(kDefault + ".unreadable.3"), std::string::npos) << answers_.Warnings()[0];
    EXPECT_NE(answers_.Warnings()[0].find("FHKCtrl"), std::string::npos) << answers_.Warnings()[0];
    EXPECT_EQ(list_.FileName(), kDefault);

    rows_.Append(NewItem("new"), true);
    list_.SaveList(false);
    EXPECT_EQ(fs_.File(kDefault), ListXml(ItemXml("new", 0, 65, true)));
    EXPECT_EQ(fs_.File(kDefault + ".unreadable.3"), corrupt);
}

TEST_F(ListFileTest, ADefaultFileThatCanBeNeitherReadNorMovedIsNeverWrittenOver) {
    fs_.SetFile(kDefault, "not xml at all");
    fs_.FailRenames(EACCES);
    list_.LoadList(false);
    ASSERT_EQ(answers_.Warnings().size(), 1u);
    EXPECT_NE(answers_.Warnings()[0].find("Permission denied"), std::string::npos) << answers_.Warnings()[0];
    EXPECT_EQ(list_.FileName(), "");
    EXPECT_EQ(fs_.CallsOf("rename").size(), 3u) << "a folder that refuses is not tried a thousand times";

    EXPECT_EQ(list_.SaveAtEnd(), TListFile::TEndSave::Unchanged) << "nothing was added that needs keeping";
    rows_.Append(NewItem("typed meanwhile"), true);
    EXPECT_EQ(list_.SaveAtEnd(), TListFile::TEndSave::NoFile) << "the rows added are to be kept elsewhere";
    list_.SaveList(false);
    EXPECT_EQ(fs_.File(kDefault), "not xml at all");
    EXPECT_TRUE(fs_.CallsOf("replace").empty());
    EXPECT_TRUE(rows_.Item(0)->FChecked) << "the items are refreshed all the same";
    answers_.AnswerSave("/home/u/kept.xml");
    list_.SaveList(true);
    EXPECT_EQ(list_.SaveAtEnd(), TListFile::TEndSave::Unchanged) << "the list was kept where the user saved it";
}

TEST_F(ListFileTest, TheSaveAtTheEndWritesOnlyWhatWouldBeLostAndNeverOverAnotherProgramsChange) {
    using TEndSave = TListFile::TEndSave;
    // An indented file, read-only say: unchanged rows are not written back in Velmora's form.
    const std::string indented = kListStart + "\n  " + ItemXml("a", 0, 65, true) + "\n</list>\n";
    fs_.SetFile(kDefault, indented);
    list_.LoadList(false);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::Unchanged);
    // Another program's list stays while the rows are as read: there is nothing of this session's to keep.
    const std::string theirs = ListXml(ItemXml("x", 0, 66, true) + ItemXml("y", 0, 67, true));
    fs_.SetFile(kDefault, theirs);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::Unchanged);
    rows_.Append(NewItem("b"), true);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::ChangedOnDisk);
    EXPECT_EQ(fs_.File(kDefault), theirs);
    EXPECT_TRUE(fs_.CallsOf("replace").empty());

    // The same list on disk as here is no change; the same bytes written again (a touch) are none either.
    const std::string ours = ListXml(ItemXml("a", 0, 65, true) + ItemXml("b", 0, 65, true));
    fs_.SetFile(kDefault, ours);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::Unchanged);
    rows_.SetChecked(1, false);
    fs_.SetFile(kDefault, ours);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::Written);
    EXPECT_EQ(fs_.File(kDefault), ListXml(ItemXml("a", 0, 65, true) + ItemXml("b", 0, 65, false)));
    // A file removed meanwhile is written again, and what was written is known as the file's.
    fs_.RemoveFile(kDefault);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::Written);
    rows_.SetChecked(1, true);
    EXPECT_EQ(list_.SaveAtEnd(), TEndSave::Written);
    EXPECT_EQ(fs_.File(kDefault), ours);
}

TEST_F(ListFileTest, SelectSaveFileAsksOnlyForAnExistingFileAndTouchesNothing) {
    fs_.SetFile("/home/u/there.xml", "x");
    answers_.AnswerSave("/home/u/new.xml");
    EXPECT_EQ(SelectSaveFile(answers_, fs_, ".xml", "XML File|*.XML", ""), "/home/u/new.xml");
    answers_.AnswerSave("/home/u/there.xml");
    answers_.AnswerYesNo(true);
    EXPECT_EQ(SelectSaveFile(answers_, fs_, ".xml", "XML File|*.XML", ""), "/home/u/there.xml");
    EXPECT_EQ(answers_.TextsOf("yesno").size(), 1u);
    EXPECT_EQ(fs_.File("/home/u/there.xml"), "x");
    EXPECT_TRUE(fs_.CallsOf("replace").empty());
    EXPECT_TRUE(fs_.CallsOf("rename").empty());
}

TEST(ListFileOnDisk, ACorruptDefaultFileIsMovedAsideAndTheListRoundTrips) {
    TempFolder folder;
    TPosixFileSystem files(folder.Path());
    FakeUserAnswers answers;
    folder.Write("mouses.xml", "<list><item FStr=\"YQ==\"");
    std::filesystem::create_directory(folder.Path("mouses.xml.unreadable")); // a name taken by a folder

    {
        TRowList rows;
        auto doc = CreateXmlDocument();
        TListFile list(rows, *doc, files, answers);
        list.LoadList(false);
        EXPECT_EQ(rows.Count(), 0u);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"mouses.xml.unreadable", "mouses.xml.unreadable.1"}));
        EXPECT_EQ(folder.Read("mouses.xml.unreadable.1"), "<list><item FStr=\"YQ==\"");
        ASSERT_EQ(answers.Warnings().size(), 1u);
        EXPECT_NE(answers.Warnings()[0].find(folder.Path("mouses.xml.unreadable.1")), std::string::npos);

        rows.Append(NewItem("line 1\r\nline 2", 1, 112), true);
        rows.Append(NewItem("second", 0, 90), false);
        list.SaveList(false);
    }
    EXPECT_EQ(folder.Names(),
              (std::vector<std::string>{"mouses.xml", "mouses.xml.unreadable", "mouses.xml.unreadable.1"}));

    TRowList rows;
    auto doc = CreateXmlDocument();
    TListFile list(rows, *doc, files, answers);
    list.LoadList(false);
    ASSERT_EQ(rows.Count(), 2u);
    EXPECT_EQ(rows.Item(0)->FStr, "line 1\r\nline 2");
    EXPECT_TRUE(rows.Checked(0));
    EXPECT_EQ(rows.Item(1)->FHKChar, 90);
    EXPECT_FALSE(rows.Checked(1));
    EXPECT_EQ(answers.Warnings().size(), 1u);
}
