#include "core/PosixFileSystem.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
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
    EXPECT_EQ(ModeOf(path), 0644u);

    ::chmod(path.c_str(), 0600);
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 % 256);
    }
    files.ReplaceFile(path, big);
    EXPECT_EQ(files.ReadFile(path), big);
    EXPECT_EQ(ModeOf(path), 0600u) << "the mode of the replaced file is kept";

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

TEST(PosixFileSystem, AReadOnlyFolderGivesAClearErrorAndLeavesTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which writes into read-only folders; the missing-folder and "
                        "failing-write tests cover the failure paths";
    }
    TempFolder folder;
    TPosixFileSystem files;
    fs::create_directory(folder.Path("ro"));
    const std::string path = folder.Path("ro/mouses.xml");
    files.ReplaceFile(path, "the old list");
    ::chmod(folder.Path("ro").c_str(), 0555);

    const std::string message = ErrorOf([&] { files.ReplaceFile(path, "the new list"); });
    ::chmod(folder.Path("ro").c_str(), 0755);
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("Permission denied"), std::string::npos) << message;
    EXPECT_EQ(files.ReadFile(path), "the old list");
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
}

TEST(PosixFileSystem, ExecutableDirIsTheFolderOfTheRunningProgram) {
    TPosixFileSystem files;
    EXPECT_EQ(files.ExecutableDir(), fs::canonical("/proc/self/exe").parent_path().string());
}
