// The program's folder read-only at shutdown: the list and settings files there stay exactly as they were, nothing
// is left beside them, the user is told why the list could not be saved (naming the file) and is offered another
// place for it, where the whole list then is; the unchanged settings are not written, so nothing is said of them. Run
// in a child process, once with the folder's permission bits (as an ordinary user) and once with a read-only mount.

#include "Checks.h"
#include "ChildProcess.h"
#include "Shutdown.h"
#include "core/PosixFileSystem.h"

#include "tests/core/OrdinaryUser.h"
#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace velmora;
using namespace velmora::hardening;
using velmora::testing::TempFolder;

/// The program's folder with a list of two rows and the settings, and a writable folder for the rescue.
struct TFolders {
    TempFolder temp;
    std::string app = temp.Path("app");
    std::string elsewhere = temp.Path("elsewhere");
    std::string oldList;
    std::string oldConfig;

    TFolders() {
        ::chmod(temp.Path().c_str(), 0755);
        ::mkdir(app.c_str(), 0755);
        ::mkdir(elsewhere.c_str(), 0777);
        ::chmod(elsewhere.c_str(), 0777);
        TPosixFileSystem fs(app);
        RunProgram(fs, {}, [](TMainCtrl& controller) {
            AddRow(controller, "first");
            AddRow(controller, "second");
        });
        oldList = temp.Read("app/mouses.xml");
        oldConfig = temp.Read("app/config.configxml");
        // Made 0600 for the user who runs the tests; the ordinary user of the child must read them.
        ::chmod((app + "/mouses.xml").c_str(), 0644);
        ::chmod((app + "/config.configxml").c_str(), 0644);
    }
};

/// Runs the program in the read-only folder (the child has made it so) and checks that nothing was lost.
int ShutdownInReadOnlyFolder(const TFolders& folders, const std::string& reason) {
    TChecks checks;
    TPosixFileSystem fs(folders.app);
    const std::string rescue = folders.elsewhere + "/rescued.xml";
    const TRunResult run = RunProgram(fs, rescue, [](TMainCtrl& controller) { AddRow(controller, "third"); });

    const std::vector<std::string> all{"first", "second", "third"};
    checks.Expect(run.texts == all, "the start-up loaded the two rows");
    // The settings file holds the settings already: it is not written, and nothing is said about it.
    checks.Expect(run.warnings.size() == 1, "one warning: the list");
    if (run.warnings.size() == 1) {
        checks.Expect(Contains(run.warnings[0], folders.app + "/mouses.xml") && Contains(run.warnings[0], reason),
                      "the list's warning names the file and the reason: " + run.warnings[0]);
    }
    checks.Expect(run.saveDialogs == 1, "the user was offered another file for the list");
    checks.Expect(folders.temp.Read("app/mouses.xml") == folders.oldList, "the old list file is unchanged");
    checks.Expect(folders.temp.Read("app/config.configxml") == folders.oldConfig, "the old settings are unchanged");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folders.app)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    checks.Expect(names == std::vector<std::string>{"config.configxml", "mouses.xml"},
                  "nothing else is left in the folder");
    checks.Expect(TextsInListFile(fs, rescue) == all, "the file the user chose holds the whole list");
    return checks.Status();
}

TEST(ReadOnlyFolder, PermissionsRefuseTheSaveAndTheListGoesWhereTheUserSays) {
    TFolders folders;
    const auto end = RunInChild([&] {
        ::chmod(folders.app.c_str(), 0555);
        if (!velmora::testing::BecomeOrdinaryUser()) {
            return kCannotSetUp;
        }
        return ShutdownInReadOnlyFolder(folders, "Permission denied");
    });
    ::chmod(folders.app.c_str(), 0755);
    if (end.exitStatus == kCannotSetUp) {
        GTEST_SKIP() << "cannot run as an ordinary user here";
    }
    EXPECT_EQ(end.signal, 0);
    EXPECT_EQ(end.exitStatus, 0) << "see the failures above";
}

TEST(ReadOnlyFolder, AReadOnlyMountRefusesTheSaveAndTheListGoesWhereTheUserSays) {
    TFolders folders;
    const auto end = RunInChild([&] {
        // A private mount namespace: the read-only bind mount is seen by this child only and ends with it.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folders.app.c_str(), folders.app.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, folders.app.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            return kCannotSetUp;
        }
        return ShutdownInReadOnlyFolder(folders, "Read-only file system");
    });
    if (end.exitStatus == kCannotSetUp) {
        GTEST_SKIP() << "cannot mount here (needs a private mount namespace, e.g. as root)";
    }
    EXPECT_EQ(end.signal, 0);
    EXPECT_EQ(end.exitStatus, 0) << "see the failures above";
}

} // namespace
