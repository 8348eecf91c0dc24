#include "ControllerRig.h"

#include "ui/ItemListModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace velmora::testing {
namespace {

constexpr const char* kConfigPath = "/opt/velmora/config.configxml";
constexpr std::int32_t kF5 = 116;

class MainCtrlTest : public ::testing::Test, protected ControllerRig<> {};

TEST_F(MainCtrlTest, CreationLoadsTheDefaultListAndCellsShowNumberLabelAndText) {
    CreateWith(
        {MakeItem("first", 1, kF5, true), MakeItem("second", 0, 'A', false), MakeItem("caf\xE9 a\r\nb", 2, '7', true)});

    ASSERT_EQ(rows.Count(), 3u);
    EXPECT_EQ(ctrl->ListFile().FileName(), kListPath);
    EXPECT_TRUE(rows.Checked(0));
    EXPECT_FALSE(rows.Checked(1));
    EXPECT_FALSE(rows.Focused());
    EXPECT_TRUE(hotkeys.registerCalls.empty());

    EXPECT_EQ(ctrl->GetCellText(0, 0), "1");
    EXPECT_EQ(ctrl->GetCellText(2, 0), "3");
    EXPECT_EQ(ctrl->GetCellText(0, 1), "CTRL+F5");
    EXPECT_EQ(ctrl->GetCellText(1, 1), "A");
    EXPECT_EQ(ctrl->GetCellText(2, 1), "ALT+7");
    EXPECT_EQ(ctrl->GetCellText(0, 2), "first");
    // Legacy bytes show as the windows-1252 characters they were; line breaks are the view's business.
    EXPECT_EQ(ctrl->GetCellText(2, 2), "caf\xC3\xA9 a\r\nb");
    EXPECT_EQ(ctrl->GetCellText(3, 0), "");
    EXPECT_EQ(ctrl->GetCellText(0, 3), "");
}

TEST_F(MainCtrlTest, ASecretRowShowsEightDotsInItsCellAndTooltipWhateverItsLength) {
    auto secret = MakeItem("hunter2 is long enough", 0, 'B', true);
    secret->FSecret = true;
    CreateWith({MakeItem("plain", 0, 'A', true), secret});
    TItemListModel model(rows);
    model.SetTextProvider([this](std::size_t row, int column) { return ctrl->GetCellText(row, column); });
    const QString dots(8, QChar(0x2022));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::DisplayRole).toString(), dots);
    EXPECT_EQ(model.data(model.index(1, 2), Qt::ToolTipRole).toString(), dots);
    EXPECT_EQ(model.data(model.index(0, 2), Qt::ToolTipRole).toString(), "plain") << "a cut text is read whole there";
    EXPECT_EQ(rows.Item(1)->FStr, "hunter2 is long enough") << "only the showing hides it";
}

TEST_F(MainCtrlTest, NewThenOkAppendsACheckedRowAndCancelAddsNothing) {
    CreateWith({MakeItem("a", 0, 'A'), MakeItem("b", 0, 'B'), MakeItem("c", 0, 'C', false), MakeItem("d", 0, 'D')});
    rows.SetFocused(1);

    dialogs.AnswerOK();
    ctrl->NewItem();

    ASSERT_EQ(rows.Count(), 5u);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].caption, "New Text");
    EXPECT_FALSE(dialogs.shown[0].showItem);
    const TStrItem& added = *rows.Item(4);
    EXPECT_EQ(added.FStr, "");
    EXPECT_EQ(added.FHKCtrl, 0);
    EXPECT_EQ(added.FHKChar, 112);
    EXPECT_FALSE(added.FChecked) << "the enabled flag follows the box only when saved";
    EXPECT_TRUE(rows.Checked(4));
    EXPECT_EQ(ctrl->GetCellText(4, 0), "5");
    EXPECT_EQ(ctrl->GetCellText(4, 1), "F1");
    EXPECT_EQ(rows.Focused(), 1u);

    dialogs.AnswerCancel();
    ctrl->NewItem();
    EXPECT_EQ(rows.Count(), 5u);
    EXPECT_TRUE(dialogs.AllAnswersUsed());
}

TEST_F(MainCtrlTest, EditAndDeleteWithoutAFocusedRowAskNothing) {
    Create();
    ctrl->EditSelected();
    ctrl->DeleteSelected();

    ctrl->AddItem(MakeItem("x", 0, 'X'));
    ctrl->EditSelected();
    ctrl->DeleteSelected();

    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(answers.History().empty());
    EXPECT_EQ(rows.Count(), 1u);
}

TEST_F(MainCtrlTest, EditOkUnchangedKeepsTheItemAndEditOkChangesItInPlace) {
    CreateWith({MakeItem("first", 0, 'A'), MakeItem("abc", 2, 'Z', false)});
    rows.SetFocused(1);
    const TStrItem* edited = rows.Item(1).get();

    dialogs.AnswerOK();
    ctrl->EditSelected();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].caption, "Edit Text");
    EXPECT_TRUE(dialogs.shown[0].showItem);
    EXPECT_EQ(dialogs.shown[0].item.FStr, "abc");
    EXPECT_EQ(rows.Item(1)->FStr, "abc");
    EXPECT_EQ(rows.Item(1)->FHKCtrl, 2);
    EXPECT_EQ(rows.Item(1)->FHKChar, 'Z');

    dialogs.AnswerOK([](TStrItem& item) { item.FHKChar = 55; });
    ctrl->EditSelected();
    EXPECT_EQ(rows.Item(1).get(), edited);
    EXPECT_EQ(rows.Item(1)->FHKChar, 55);
    EXPECT_EQ(rows.Item(1)->FStr, "abc");
    EXPECT_FALSE(rows.Checked(1));
    EXPECT_EQ(ctrl->GetCellText(1, 1), "ALT+7");

    dialogs.AnswerCancel();
    ctrl->EditSelected();
    EXPECT_EQ(rows.Item(1)->FHKChar, 55);
}

TEST_F(MainCtrlTest, DeleteOfTheSecondOfThreeRenumbersAndLeavesNoRowFocused) {
    CreateWith({MakeItem("one", 0, 'A', true), MakeItem("two", 0, 'B', true), MakeItem("three", 0, 'C', false)});
    rows.SetFocused(1);

    answers.AnswerYesNo(true);
    ctrl->DeleteSelected();

    EXPECT_EQ(answers.TextsOf("yesno"), std::vector<std::string>{"Are you sure to delete the click?"});
    ASSERT_EQ(rows.Count(), 2u);
    EXPECT_EQ(ctrl->GetCellText(0, 2), "one");
    EXPECT_EQ(ctrl->GetCellText(1, 2), "three");
    EXPECT_EQ(ctrl->GetCellText(1, 0), "2");
    EXPECT_TRUE(rows.Checked(0));
    EXPECT_FALSE(rows.Checked(1));
    EXPECT_FALSE(rows.Focused());

    ctrl->DeleteSelected(); // nothing focused: no second question
    EXPECT_EQ(answers.TextsOf("yesno").size(), 1u);
}

TEST_F(MainCtrlTest, DeleteAnsweredNoKeepsEveryRowAndTheFocus) {
    CreateWith({MakeItem("one", 0, 'A'), MakeItem("two", 0, 'B')});
    rows.SetFocused(0);
    answers.AnswerYesNo(false);
    ctrl->DeleteSelected();
    EXPECT_EQ(rows.Count(), 2u);
    EXPECT_EQ(rows.Focused(), 0u);
}

TEST_F(MainCtrlTest, ShutdownWritesTheListAndTheSettingsWithoutAsking) {
    Create();
    ctrl->AddItem(MakeItem("one", 1, kF5));
    ctrl->AddItem(MakeItem("two", 0, 'B'));
    rows.SetChecked(1, false);

    ctrl->Shutdown();

    const auto written = ListFileItems(ListFile());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].FStr, "one");
    EXPECT_TRUE(written[0].FChecked);
    EXPECT_FALSE(written[1].FChecked);
    const auto config = fs.File(kConfigPath);
    ASSERT_TRUE(config);
    EXPECT_NE(config->find("<running"), std::string::npos);
    EXPECT_TRUE(answers.History().empty());
    // The list goes first, then the settings.
    const auto replaces = fs.CallsOf("replace");
    ASSERT_FALSE(replaces.empty());
    EXPECT_EQ(replaces.front().path, kListPath);
    EXPECT_EQ(replaces.back().path, kConfigPath);
}

TEST_F(MainCtrlTest, ShutdownThatCannotWriteTheListWarnsAndOffersTheSaveDialog) {
    CreateWith({MakeItem("kept", 0, 'A')});
    const std::string before = ListFile();
    ctrl->AddItem(MakeItem("new", 0, 'B'));
    fs.FailReplaces(ENOSPC, 10, 1);
    answers.AnswerSave("/home/me/rescue.xml");

    ctrl->Shutdown();

    ASSERT_EQ(answers.History().size(), 2u);
    EXPECT_EQ(answers.History()[0].kind, "warn");
    EXPECT_NE(answers.History()[0].text.find(kListPath), std::string::npos);
    EXPECT_NE(answers.History()[0].text.find("No space left"), std::string::npos);
    EXPECT_EQ(answers.History()[1].kind, "save");
    EXPECT_EQ(ListFile(), before);
    ASSERT_TRUE(fs.File("/home/me/rescue.xml"));
    EXPECT_EQ(ListFileItems(*fs.File("/home/me/rescue.xml")).size(), 2u);
    EXPECT_TRUE(fs.File(kConfigPath)) << "the settings are written all the same";
}

TEST_F(MainCtrlTest, AnUnattendedEndKeepsAnUnwritableListInTheStateFolderAndTheNextStartTellsOnce) {
    CreateWith({MakeItem("kept", 0, 'A')});
    const std::string before = ListFile();
    ctrl->AddItem(MakeItem("new", 0, 'B'));
    fs.AddFolder(kListPath); // every write of the list fails

    ::testing::internal::CaptureStderr();
    ctrl->Shutdown(true);
    ctrl->Shutdown(true); // the session's end, then a signal: the same rows are kept once
    const std::string said = ::testing::internal::GetCapturedStderr();

    EXPECT_TRUE(answers.History().empty()) << "nobody is asked at the system's end";
    EXPECT_EQ(ListFile(), before);
    const auto kept = fs.CallsOf("create");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(kept[0].path.starts_with(std::string(FakeFileSystem::kStateDir) + "/mouses-")) << kept[0].path;
    EXPECT_EQ(ListFileItems(*fs.File(kept[0].path)).size(), 2u);
    EXPECT_NE(said.find(kept[0].path), std::string::npos) << said;
    EXPECT_NE(said.find("Is a directory"), std::string::npos) << said;

    ctrl.reset();
    for (int start = 0; start < 2; ++start) {
        TRowList otherRows;
        const auto otherDocument = CreateXmlDocument();
        FakeUserAnswers told;
        TMainCtrl again(otherRows, *otherDocument, TControllerServices{fs, told, dialogs, hotkeys, typist, {}});
        again.TellRecoveryNotice();
        const auto warnings = told.Warnings();
        EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                                [&](const std::string& text) { return text.find(kept[0].path) != std::string::npos; }),
                  start == 0 ? 1 : 0)
            << "told once";
    }
}

TEST_F(MainCtrlTest, AListAndSettingsAsTheFilesHoldThemAreNeitherWrittenNorNaggedAbout) {
    CreateWith({MakeItem("kept", 0, 'A')});
    ctrl->Shutdown();        // the settings file is made
    fs.FailReplaces(EACCES); // both files read-only from now on
    fs.SetFile(kConfigPath, "<config><running minimize=\"false\" stayontop=\"1\"/></config>"); // not in our form
    ctrl.reset();
    Create();
    ctrl->Shutdown();
    ctrl->Shutdown(true);
    EXPECT_TRUE(answers.History().empty());
    EXPECT_TRUE(fs.CallsOf("create").empty()) << "nothing is kept in the state folder";
}

TEST_F(MainCtrlTest, AListFileAnotherProgramChangedIsLeftAndVelmorasListKeptOrWrittenOverItOnlyWhenTheUserSays) {
    CreateWith({MakeItem("ours", 0, 'A')});
    ctrl->AddItem(MakeItem("added", 0, 'B'));
    const std::string theirs = ListFileBytes({MakeItem("theirs", 0, 'C')});
    fs.SetFile(kListPath, theirs);

    ::testing::internal::CaptureStderr();
    ctrl->Shutdown(true);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("changed by another program"), std::string::npos) << said;
    EXPECT_TRUE(answers.History().empty());
    EXPECT_EQ(ListFile(), theirs);
    ASSERT_EQ(fs.CallsOf("create").size(), 1u);
    EXPECT_EQ(ListFileItems(*fs.File(fs.CallsOf("create")[0].path)).size(), 2u);

    // Exit: No, then no other file chosen: the list goes to the state folder and the user is told where.
    answers.AnswerYesNo(false);
    answers.AnswerSave("");
    ctrl->Shutdown();
    EXPECT_EQ(ListFile(), theirs);
    ASSERT_EQ(answers.TextsOf("notice").size(), 1u);
    EXPECT_NE(answers.TextsOf("notice")[0].find(fs.CallsOf("create")[0].path), std::string::npos);
    // Yes replaces it.
    answers.AnswerYesNo(true);
    ctrl->Shutdown();
    EXPECT_EQ(ListFileItems(ListFile()).size(), 2u);
    EXPECT_TRUE(answers.AllAnswersUsed());
}

TEST_F(MainCtrlTest, EditsWithoutACurrentListFileAreKeptInTheStateFolderOnce) {
    fs.SetFile(kListPath, "unreadable");
    fs.FailRenames(EACCES);
    Create();
    ctrl->AddItem(MakeItem("typed meanwhile", 0, 'A'));
    ::testing::internal::CaptureStderr();
    ctrl->Shutdown(true);
    ctrl->Shutdown();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ListFile(), "unreadable");
    const auto kept = fs.CallsOf("create");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ListFileItems(*fs.File(kept[0].path)).size(), 1u);
    ASSERT_EQ(answers.TextsOf("notice").size(), 1u);
    EXPECT_NE(answers.TextsOf("notice")[0].find(kept[0].path), std::string::npos);
}

TEST_F(MainCtrlTest, ShutdownWarnsOnceMoreWhenTheRescueFailsTooAndDoesNotAskAgain) {
    Create();
    ctrl->AddItem(MakeItem("new", 0, 'B'));
    fs.FailReplaces(EACCES, 0, 2);
    answers.AnswerSave("/home/me/rescue.xml");

    ctrl->Shutdown();

    EXPECT_EQ(answers.Warnings().size(), 2u);
    EXPECT_EQ(answers.TextsOf("save").size(), 1u);
    EXPECT_FALSE(fs.File(kListPath));
    EXPECT_TRUE(fs.File(kConfigPath));
}

TEST_F(MainCtrlTest, ShutdownWithTheSaveDialogCancelledWritesNoListButTheSettings) {
    Create();
    fs.FailReplaces(EACCES, 0, 1);
    answers.AnswerSave("");
    ctrl->Shutdown();
    EXPECT_EQ(answers.Warnings().size(), 1u);
    EXPECT_FALSE(fs.File(kListPath));
    EXPECT_TRUE(fs.File(kConfigPath));
}

TEST_F(MainCtrlTest, ShutdownReportsAnUnreadableSettingsFileAndLeavesIt) {
    fs.SetFile(kConfigPath, "no xml here");
    Create();
    ctrl->AddItem(MakeItem("one", 0, 'A'));

    ctrl->Shutdown();

    ASSERT_EQ(answers.Warnings().size(), 1u);
    EXPECT_NE(answers.Warnings()[0].find(kConfigPath), std::string::npos);
    EXPECT_EQ(fs.File(kConfigPath), "no xml here");
    EXPECT_EQ(ListFileItems(ListFile()).size(), 1u);
}

TEST_F(MainCtrlTest, ConfigIsCreatedOnceAndShowSettingsHandsItToTheDialog) {
    Create();
    EXPECT_FALSE(fs.File(kConfigPath));
    TConfig& config = ctrl->Config();
    EXPECT_TRUE(fs.File(kConfigPath)) << "a missing settings file is written from the template";
    EXPECT_EQ(&ctrl->Config(), &config);
    ctrl->ShowSettings();
    EXPECT_EQ(dialogs.settingsShown, 1);
}

TEST_F(MainCtrlTest, DestructionFreesTheItemsClearsTheRowsAndReleasesTheHotkeys) {
    CreateWith({MakeItem("one", 1, kF5), MakeItem("two", 2, 'A')});
    std::weak_ptr<TStrItem> first = rows.Item(0);
    ctrl->Start();
    ASSERT_EQ(hotkeys.inForce.size(), 3u) << "two rows and the picker";

    ctrl.reset();

    EXPECT_EQ(rows.Count(), 0u);
    EXPECT_TRUE(hotkeys.inForce.empty());
    EXPECT_TRUE(first.expired());
    EXPECT_FALSE(hotkeys.pressHandler) << "no press reaches a destroyed controller";
}

TEST_F(MainCtrlTest, APressAfterItsRowWasDeletedWhileRunningTypesTheOldTextSafely) {
    CreateWith({MakeItem("old text", 1, kF5), MakeItem("other", 0, 'B')});
    std::weak_ptr<TStrItem> deleted = rows.Item(0);
    ctrl->Start();
    rows.SetFocused(0);
    answers.AnswerYesNo(true);
    ctrl->DeleteSelected();
    ASSERT_EQ(rows.Count(), 1u);

    EXPECT_TRUE(hotkeys.Press(kModControl, kF5));
    EXPECT_EQ(typist.Texts(), std::vector<std::string>{"old text"});

    ctrl->Stop();
    EXPECT_TRUE(deleted.expired()) << "Stop lets go of the deleted row's item";
    EXPECT_FALSE(hotkeys.Press(kModControl, kF5));
}

TEST_F(MainCtrlTest, APressAfterALoadWhileRunningTypesTheOldListsText) {
    CreateWith({MakeItem("old text", 1, kF5)});
    fs.SetFile("/home/me/other.xml", ListFileBytes({MakeItem("new text", 2, 'N')}));
    ctrl->Start();
    answers.AnswerOpen("/home/me/other.xml");

    ctrl->LoadList(true);

    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(rows.Item(0)->FStr, "new text");
    hotkeys.DeliverQueuedPress(hotkeys.inForce.begin()->first); // CTRL+F5, registered for the old row
    EXPECT_EQ(typist.Texts(), std::vector<std::string>{"old text"});
}

TEST_F(MainCtrlTest, StartAndStopTellTheViewAndEditWhileRunningTypesTheNewText) {
    CreateWith({MakeItem("before", 1, kF5)});
    int told = 0;
    ctrl->SetHotkeysChangedHandler([&told] { ++told; });
    ctrl->Start();
    EXPECT_EQ(told, 1);
    rows.SetFocused(0);
    dialogs.AnswerOK([](TStrItem& item) { item.FStr = "after"; });
    ctrl->EditSelected();
    ctrl->HandleHotKey(kModControl, kF5);
    EXPECT_EQ(typist.Texts(), std::vector<std::string>{"after"});
    ctrl->Stop();
    EXPECT_EQ(told, 2);
}

} // namespace
} // namespace velmora::testing
