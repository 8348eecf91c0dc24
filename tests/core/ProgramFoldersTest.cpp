#include "core/ProgramFolders.h"

#include "tests/fakes/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using velmora::ChooseProgramFolders;
using velmora::FileError;
using velmora::TFolderEnvironment;
using velmora::TProgramFolders;
using velmora::testing::FakeFileSystem;

namespace {

// The folders chosen for a program in a read-only /opt/velmora.
TProgramFolders ChooseInstalled(FakeFileSystem& fs, const TFolderEnvironment& environment) {
    fs.MakeReadOnly("/opt/velmora");
    return ChooseProgramFolders(fs, environment);
}

std::string ErrorOf(FakeFileSystem& fs, const TFolderEnvironment& environment) {
    try {
        ChooseProgramFolders(fs, environment);
    } catch (const FileError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(ProgramFolders, AWritableProgramFolderKeepsTheFilesAndTheLockBesideTheExecutable) {
    FakeFileSystem fs("/home/ann/velmora");
    const auto folders = ChooseProgramFolders(fs, {"/home/ann", "/home/ann/cfg", "/run/user/1000"});
    EXPECT_EQ(folders.files, "/home/ann/velmora");
    EXPECT_EQ(folders.lock, "/home/ann/velmora");
    EXPECT_TRUE(fs.CreatedFolders().empty());
}

TEST(ProgramFolders, AReadOnlyProgramFolderUsesTheConfigHomeMadePrivateAndTheRuntimeFolderForTheLock) {
    FakeFileSystem fs;
    const auto folders = ChooseInstalled(fs, {"/home/ann", "/home/ann/cfg/", "/run/user/1000/"});
    EXPECT_EQ(folders.files, "/home/ann/cfg/velmora");
    EXPECT_EQ(folders.lock, "/run/user/1000");
    EXPECT_EQ(fs.CreatedFolders(), (std::map<std::string, unsigned>{{"/home/ann/cfg/velmora", 0700}}));
}

TEST(ProgramFolders, AnUnsetOrRelativeConfigHomeFallsBackToDotConfigAndNoRuntimeFolderPutsTheLockBesideTheFiles) {
    for (const std::string configHome : {"", "cfg", "./cfg"}) {
        SCOPED_TRACE("XDG_CONFIG_HOME=" + configHome);
        FakeFileSystem fs;
        const auto folders = ChooseInstalled(fs, {"/home/ann", configHome, "run"});
        EXPECT_EQ(folders.files, "/home/ann/.config/velmora");
        EXPECT_EQ(folders.lock, "/home/ann/.config/velmora");
    }
}

TEST(ProgramFolders, AnInstallFolderNeverHoldsTheFilesEvenWhenWritable) {
    FakeFileSystem system("/usr/bin");
    ASSERT_TRUE(system.IsWritableFolder("/usr/bin"));
    EXPECT_EQ(ChooseProgramFolders(system, {"/root", "", ""}).files, "/root/.config/velmora");
    FakeFileSystem own("/home/ann/.local/bin");
    EXPECT_EQ(ChooseProgramFolders(own, {"/home/ann/", "", ""}).files, "/home/ann/.config/velmora");
    // The executable's folder comes resolved; a HOME reached through a link leads to the same folder.
    FakeFileSystem linkedHome("/data/ann/.local/bin");
    linkedHome.AddLink("/home/ann", "/data/ann");
    EXPECT_EQ(ChooseProgramFolders(linkedHome, {"/home/ann", "", ""}).files, "/home/ann/.config/velmora");
}

TEST(ProgramFolders, WithoutAUsableFolderTheErrorSaysWhatToDo) {
    FakeFileSystem noHome;
    noHome.MakeReadOnly("/opt/velmora");
    const std::string noHomeError = ErrorOf(noHome, {"", "relative", ""});
    EXPECT_NE(noHomeError.find("Set HOME"), std::string::npos) << noHomeError;

    FakeFileSystem readOnlyHome;
    readOnlyHome.MakeReadOnly("/opt/velmora");
    readOnlyHome.MakeReadOnly("/home/ann");
    EXPECT_NE(ErrorOf(readOnlyHome, {"/home/ann", "", ""}).find("\"/home/ann/.config/velmora\""), std::string::npos);
}
