#include "core/PosixFileSystem.h"

#include "OrdinaryUser.h"
#include "TempFolder.h"
#include "tests/hardening/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using velmora::FileError;
using velmora::TPosixFileSystem;
using velmora::testing::TempFolder;

namespace fs = std::filesystem;

namespace {

// The message of the FileError that `action` throws, or "" when it throws nothing.
template <typename F>
std::string ErrorOf(F action) {
    try {
        action();
    } catch (const FileError& e) {
        return e.what();
    }
    return "";
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// Limits the size of any file this process writes, for one scope; writes beyond it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = FOld;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

} // namespace

TEST(PosixFileSystem, ReplaceWritesEveryByteKeepsTheModeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    TPosixFileSystem files;
    const std::string path = folder.Path("list.xml");

    files.ReplaceFile(path, "first");
    EXPECT_EQ(folder.Read("list.xml"), "first");
    EXPECT_EQ(ModeOf(path), 0600u) << "a new file is the user's alone: texts are often passwords";

    ::chmod(path.c_str(), 0640);
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 % 256);
    }
    files.ReplaceFile(path, big);
    EXPECT_EQ(files.ReadFile(path), big);
    EXPECT_EQ(ModeOf(path), 0640u) << "the mode of the replaced file is kept";

    files.ReplaceFile(path, "");
    EXPECT_EQ(files.ReadFile(path), "");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"list.xml"}));
}

TEST(PosixFileSystem, ReplaceThroughASymbolicLinkKeepsTheLink) {
    TempFolder folder;
    TPosixFileSystem files;
    folder.Write("real.xml", "old");
    fs::create_symlink(folder.Path("real.xml"), folder.Path("link.xml"));

    files.ReplaceFile(folder.Path("link.xml"), "new");
    EXPECT_TRUE(fs::is_symlink(folder.Path("link.xml")));
    EXPECT_EQ(folder.Read("real.xml"), "new");
}

TEST(PosixFileSystem, AWriteThatFailsHalfWayLeavesTheOldFileAndNoTemporaryFile) {
    TempFolder folder;
    TPosixFileSystem files;
    folder.Write("mouses.xml", "the old list");
    std::string message;
    {
        FileSizeLimit limit(1000);
        message = ErrorOf([&] { files.ReplaceFile(folder.Path("mouses.xml"), std::string(5000, 'x')); });
    }
    EXPECT_NE(message.find(folder.Path("mouses.xml")), std::string::npos) << message;
    EXPECT_NE(message.find("File too large"), std::string::npos) << message;
    EXPECT_EQ(folder.Read("mouses.xml"), "the old list");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"mouses.xml"}));
}

TEST(PosixFileSystem, AFolderThatCannotTakeTheFileGivesAClearErrorAndLeavesTheOldFile) {
    TempFolder folder;
    TPosixFileSystem files;

    const std::string missing = folder.Path("no-such-folder/mouses.xml");
    std::string message = ErrorOf([&] { files.ReplaceFile(missing, "x"); });
    EXPECT_NE(message.find(missing), std::string::npos) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;

    folder.Write("plain", "a file, not a folder");
    message = ErrorOf([&] { files.ReplaceFile(folder.Path("plain/mouses.xml"), "x"); });
    EXPECT_NE(message.find("Not a directory"), std::string::npos) << message;
    EXPECT_EQ(folder.Read("plain"), "a file, not a folder");

    // A folder where the file should be: refused before anything is written.
    fs::create_directory(folder.Path("taken"));
    message = ErrorOf([&] { files.ReplaceFile(folder.Path("taken"), "x"); });
    EXPECT_NE(message.find("Is a directory"), std::string::npos) << message;
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"plain", "taken"}));
}

// The first problem found by the checks of `body`, run in a child as an ordinary user (CI runs as root, which
// writes anything); "" when all held. Skips the test when the child cannot become an ordinary user.
template <typename F>
std::string ProblemAsOrdinaryUser(F body) {
    std::string problem;
    const auto end = velmora::hardening::RunInChild([&] {
        if (!velmora::testing::BecomeOrdinaryUser()) {
            return velmora::hardening::kCannotSetUp;
        }
        const std::string found = body();
        std::fprintf(stderr, "%s", found.c_str());
        return found.empty() ? 0 : 1;
    });
    if (end.exitStatus == velmora::hardening::kCannotSetUp) {
        return "cannot become an ordinary user here";
    }
    return end.exitStatus == 0 ? "" : "see the child's message above";
}

TEST(PosixFileSystem, AReadOnlyFolderGivesAClearErrorAndLeavesTheOldFile) {
    TempFolder folder;
    ::chmod(folder.Path().c_str(), 0755);
    TPosixFileSystem files;
    fs::create_directory(folder.Path("ro"));
    const std::string path = folder.Path("ro/mouses.xml");
    files.ReplaceFile(path, "the old list");
    ::chmod(path.c_str(), 0666); // the file itself is anyone's to write; only the folder refuses
    ::chmod(folder.Path("ro").c_str(), 0555);

    const std::string problem = ProblemAsOrdinaryUser([&]() -> std::string {
        const std::string message = ErrorOf([&] { files.ReplaceFile(path, "the new list"); });
        if (message.find(path) == std::string::npos || message.find("Permission denied") == std::string::npos) {
            return "unclear error: \"" + message + "\"\n";
        }
        return "";
    });
    ::chmod(folder.Path("ro").c_str(), 0755);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(files.ReadFile(path), "the old list");
}

// The save renames a new file over the old one, which the folder's permission alone would allow.
TEST(PosixFileSystem, AFileTheUserMayNotWriteIsNeverReplacedAndTheErrorSaysItIsReadOnly) {
    TempFolder folder;
    ::chmod(folder.Path().c_str(), 0777);
    TPosixFileSystem files;
    const std::string readOnly = folder.Path("read-only.xml");
    const std::string othersFile = folder.Path("others.xml");
    folder.Write("read-only.xml", "old");
    folder.Write("others.xml", "old");
    ::chmod(readOnly.c_str(), 0444);
    ::chmod(othersFile.c_str(), 0644);

    // A file without any write permission is read-only to everyone, root included.
    const std::string message = ErrorOf([&] { files.ReplaceFile(readOnly, "new"); });
    EXPECT_NE(message.find(readOnly), std::string::npos) << message;
    EXPECT_NE(message.find("read-only"), std::string::npos) << message;
    EXPECT_EQ(folder.Read("read-only.xml"), "old");
    EXPECT_EQ(ModeOf(readOnly), 0444u);

    // Another user's file in a folder anyone may write.
    EXPECT_EQ(ProblemAsOrdinaryUser([&]() -> std::string {
                  const std::string refused = ErrorOf([&] { files.ReplaceFile(othersFile, "new"); });
                  return refused.find("read-only") == std::string::npos ? "not refused: \"" + refused + "\"\n" : "";
              }),
              "");
    EXPECT_EQ(folder.Read("others.xml"), "old");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"others.xml", "read-only.xml"}));
}

TEST(PosixFileSystem, ExistsOnlyForFilesAndReadNamesTheFileThatFails) {
    TempFolder folder;
    TPosixFileSystem files;
    folder.Write("a", "x");
    fs::create_directory(folder.Path("d"));
    EXPECT_TRUE(files.FileExists(folder.Path("a")));
    EXPECT_FALSE(files.FileExists(folder.Path("d")));
    EXPECT_FALSE(files.FileExists(folder.Path("missing")));
    EXPECT_FALSE(files.FileExists(""));

    const std::string message = ErrorOf([&] { files.ReadFile(folder.Path("missing")); });
    EXPECT_NE(message.find(folder.Path("missing")), std::string::npos) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    EXPECT_NE(ErrorOf([&] { files.ReadFile(folder.Path("d")); }).find("Is a directory"), std::string::npos);
}

TEST(PosixFileSystem, RenameNeverReplacesAnExistingFile) {
    TempFolder folder;
    TPosixFileSystem files;
    folder.Write("a", "A");
    folder.Write("b", "B");
    EXPECT_NE(ErrorOf([&] { files.RenameFile(folder.Path("a"), folder.Path("b")); }).find("File exists"),
              std::string::npos);
    EXPECT_EQ(folder.Read("a"), "A");
    EXPECT_EQ(folder.Read("b"), "B");

    files.RenameFile(folder.Path("a"), folder.Path("c"));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(folder.Read("c"), "A");

    // Nor does creating a new file, which makes the folders above it.
    EXPECT_FALSE(files.CreateNewFile(folder.Path("c"), "new"));
    EXPECT_EQ(folder.Read("c"), "A");
    EXPECT_TRUE(files.CreateNewFile(folder.Path("state/velmora/kept.xml"), "kept"));
    EXPECT_EQ(folder.Read("state/velmora/kept.xml"), "kept");
    EXPECT_EQ(ModeOf(folder.Path("state/velmora")), 0700u);
}

TEST(PosixFileSystem, ExecutableDirIsTheFolderOfTheRunningProgramAndStateDirFollowsXdg) {
    TPosixFileSystem files;
    EXPECT_EQ(files.ExecutableDir(), fs::canonical("/proc/self/exe").parent_path().string());

    const auto keep = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    const auto oldHome = keep("HOME");
    const auto oldState = keep("XDG_STATE_HOME");
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(files.StateDir(), "/var/state/velmora");
    ::setenv("XDG_STATE_HOME", "relative/state", 1); // ignored, as the XDG rules say
    EXPECT_EQ(files.StateDir(), "/home/someone/.local/state/velmora");
    restore("HOME", oldHome);
    restore("XDG_STATE_HOME", oldState);
}

TEST(PosixFileSystem, CreateFoldersMakesTheMissingOnesWithTheModeAndOnlyFoldersAreWritable) {
    TempFolder folder;
    TPosixFileSystem files;
    files.CreateFolders(folder.Path("a/b/velmora"), 0700);
    EXPECT_EQ(ModeOf(folder.Path("a/b/velmora")), 0700U);
    EXPECT_EQ(ModeOf(folder.Path("a")), 0700U);
    ::chmod(folder.Path("a/b/velmora").c_str(), 0750);
    files.CreateFolders(folder.Path("a/b/velmora"), 0700);
    EXPECT_EQ(ModeOf(folder.Path("a/b/velmora")), 0750U) << "an existing folder is left as it is";
    EXPECT_TRUE(files.IsWritableFolder(folder.Path("a/b/velmora")));

    folder.Write("file", "x");
    EXPECT_FALSE(files.IsWritableFolder(folder.Path("file")));
    EXPECT_FALSE(files.IsWritableFolder(folder.Path("missing")));
    EXPECT_NE(ErrorOf([&] {
                  files.CreateFolders(folder.Path("file/velmora"), 0700);
              }).find("Cannot create the folder \"" + folder.Path("file/velmora") + "\": Not a directory"),
              std::string::npos);
    if (::geteuid() != 0) {
        ::chmod(folder.Path("a").c_str(), 0500);
        EXPECT_FALSE(files.IsWritableFolder(folder.Path("a")));
        ::chmod(folder.Path("a").c_str(), 0700);
    }
}
