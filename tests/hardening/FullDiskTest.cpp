// A full disk at shutdown: the old list and settings files stay whole, nothing is left beside them, the user is told
// and offered another place for the list. First against a file system that fails with ENOSPC part-way through a
// write, then on a real 64 KiB tmpfs (in a private mount namespace, where the system allows one).

#include "Checks.h"
#include "ChildProcess.h"
#include "Shutdown.h"
#include "core/PosixFileSystem.h"

#include "tests/core/TempFolder.h"
#include "tests/fakes/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace velmora;
using namespace velmora::hardening;
using velmora::testing::FakeFileSystem;
using velmora::testing::TempFolder;

const std::string kApp = "/opt/velmora";
const std::string kList = kApp + "/mouses.xml";
const std::string kConfig = kApp + "/config.configxml";

/// A fake disk holding the list of two rows and the settings that one run of the program wrote.
FakeFileSystem& PreparedDisk(FakeFileSystem& fs) {
    RunProgram(fs, {}, [](TMainCtrl& controller) {
        AddRow(controller, "first");
        AddRow(controller, "second");
    });
    fs.ClearCalls();
    return fs;
}

TEST(FullDisk, TheOldFilesStayAndTheListGoesToTheFileTheUserPicks) {
    FakeFileSystem fs(kApp);
    PreparedDisk(fs);
    const auto oldList = fs.File(kList);
    const auto oldConfig = fs.File(kConfig);

    fs.FailReplaces(ENOSPC, 1000, 1); // the list's write runs out of room after 1000 bytes, once
    const TRunResult run = RunProgram(fs, "/media/stick/rescued.xml",
                                      [](TMainCtrl& controller) { AddRow(controller, std::string(5000, 'x')); });

    ASSERT_EQ(run.warnings.size(), 1u);
    EXPECT_NE(run.warnings[0].find(kList), std::string::npos) << run.warnings[0];
    EXPECT_NE(run.warnings[0].find("No space left on device"), std::string::npos) << run.warnings[0];
    EXPECT_EQ(run.saveDialogs, 1u);
    EXPECT_EQ(fs.LastPartialWrite().size(), 1000u);
    EXPECT_EQ(fs.File(kList), oldList);
    EXPECT_EQ(fs.File(kConfig), oldConfig); // it holds these settings already
    EXPECT_EQ(TextsInListFile(fs, "/media/stick/rescued.xml"),
              (std::vector<std::string>{"first", "second", std::string(5000, 'x')}));
    EXPECT_EQ(fs.Files().size(), 3u);
}

TEST(FullDisk, WhenNoWriteSucceedsTheOldFilesStayAndEveryFailureIsReported) {
    FakeFileSystem fs(kApp);
    PreparedDisk(fs);
    const auto before = fs.Files();

    fs.FailReplaces(ENOSPC, 100);
    const TRunResult run =
        RunProgram(fs, "/media/stick/rescued.xml", [](TMainCtrl& controller) { AddRow(controller, "third"); });

    // The list, and the list in the chosen file; the settings file holds these settings already.
    ASSERT_EQ(run.warnings.size(), 2u);
    EXPECT_NE(run.warnings[0].find("No space left on device"), std::string::npos) << run.warnings[0];
    EXPECT_NE(run.warnings[1].find("rescued.xml"), std::string::npos) << run.warnings[1];
    EXPECT_EQ(fs.Files(), before);

    // The next start finds the list as it was before.
    EXPECT_EQ(TextsInListFile(fs, kList), (std::vector<std::string>{"first", "second"}));
}

/// Free bytes of the file system holding `path`.
unsigned long long FreeBytes(const std::string& path) {
    struct statvfs st {};
    ::statvfs(path.c_str(), &st);
    return static_cast<unsigned long long>(st.f_bavail) * st.f_frsize;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FullDisk, ARealFullFileSystemKeepsTheOldFilesWholeAndLeavesNothingBehind) {
    TempFolder temp;
    const std::string app = temp.Path("app");
    const std::string elsewhere = temp.Path("elsewhere");
    ::mkdir(app.c_str(), 0755);
    ::mkdir(elsewhere.c_str(), 0755);

    const auto end = RunInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", app.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
            return kCannotSetUp;
        }
        TChecks checks;
        TPosixFileSystem fs(app);
        // A list of about 20 KiB fits.
        const std::string row(1000, 'r');
        const TRunResult first = RunProgram(fs, {}, [&](TMainCtrl& controller) {
            for (int i = 0; i < 15; ++i) {
                AddRow(controller, row + std::to_string(i));
            }
        });
        checks.Expect(first.warnings.empty(), "the first list fits");
        const std::string oldList = temp.Read("app/mouses.xml");
        const std::string oldConfig = temp.Read("app/config.configxml");
        const unsigned long long freeBefore = FreeBytes(app);

        // Fifty more rows do not: about 90 KiB.
        const std::string rescue = elsewhere + "/rescued.xml";
        const TRunResult second = RunProgram(fs, rescue, [&](TMainCtrl& controller) {
            for (int i = 15; i < 65; ++i) {
                AddRow(controller, row + std::to_string(i));
            }
        });
        checks.Expect(second.texts.size() == 65, "the start-up loaded the first list");
        checks.Expect(!second.warnings.empty() && Contains(second.warnings[0], "No space left on device"),
                      "the user is told the disk is full: " + (second.warnings.empty() ? "" : second.warnings[0]));
        checks.Expect(second.saveDialogs == 1, "the user was offered another file for the list");
        checks.Expect(temp.Read("app/mouses.xml") == oldList, "the old list file is unchanged");
        checks.Expect(temp.Read("app/config.configxml") == oldConfig, "the settings file is whole");
        checks.Expect(NamesIn(app) == std::vector<std::string>{"config.configxml", "mouses.xml"},
                      "no temporary file is left on the full disk");
        checks.Expect(FreeBytes(app) == freeBefore, "the failed write gave its room back");
        checks.Expect(TextsInListFile(fs, rescue) == second.texts, "the file the user chose holds the whole list");

        // A list that fits beside the old one is saved where it belongs again.
        const TRunResult third = RunProgram(fs, {}, [&](TMainCtrl& controller) {
            for (int i = 15; i < 20; ++i) {
                AddRow(controller, row + std::to_string(i));
            }
        });
        checks.Expect(third.warnings.empty(), "a list that fits is saved again");
        checks.Expect(TextsInListFile(fs, app + "/mouses.xml") == third.texts, "the list file holds the saved rows");
        return checks.Status();
    });
    if (end.exitStatus == kCannotSetUp) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs a private mount namespace, e.g. as root)";
    }
    EXPECT_EQ(end.signal, 0);
    EXPECT_EQ(end.exitStatus, 0) << "see the failures above";
}

} // namespace
