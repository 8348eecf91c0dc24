#include "core/AutostartFile.h"

#include "TempFolder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(AutostartEntry, ExecArgumentsAreQuotedAndEscapedAsDesktopEntriesRequire) {
    const struct {
        const char* path;
        const char* exec;
    } cases[] = {
        {"/usr/bin/velmora", "/usr/bin/velmora"},           {"/home/a b/velmora", R"("/home/a b/velmora")"},
        {R"(/opt/say "hi"/v)", R"("/opt/say \\"hi\\"/v")"}, {"/opt/$HOME/v", R"("/opt/\\$HOME/v")"},
        {R"(/opt/back\slash)", R"("/opt/back\\\\slash")"},  {"/opt/100%/v", "/opt/100%%/v"},
        {"/opt/it's/v`x`", R"("/opt/it's/v\\`x\\`")"},      {"/opt/two\nlines", R"("/opt/two\nlines")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DesktopExecArgument(c.path), c.exec) << c.path;
    }
}

TEST(AutostartEntry, TheEntryStartsTheProgramAndReadsBackWhatItAsks) {
    const std::string plain = AutostartEntryText("/home/a b/velmora", false);
    EXPECT_EQ(plain.rfind("[Desktop Entry]\nType=Application\n", 0), 0u);
    EXPECT_NE(plain.find("\nExec=\"/home/a b/velmora\"\n"), std::string::npos);
    EXPECT_NE(plain.find("\nIcon=org.velmora.Velmora\n"), std::string::npos);
    EXPECT_EQ(ReadAutostartEntry(plain), (TAutostartState{true, false}));

    const std::string tray = AutostartEntryText("/usr/bin/velmora", true);
    EXPECT_NE(tray.find("\nExec=/usr/bin/velmora --autostart\n"), std::string::npos);
    EXPECT_EQ(ReadAutostartEntry(tray), (TAutostartState{true, true}));

    EXPECT_EQ(ReadAutostartEntry("[Desktop Entry]\nExec=/x/--autostart-not\nHidden=true\n"), TAutostartState{});
    EXPECT_EQ(ReadAutostartEntry("Exec = v --autostart\r\nX-GNOME-Autostart-enabled=false\n"),
              (TAutostartState{false, true}));
}

TEST(AutostartFile, ThePathFollowsXdgAndTheEntryIsWrittenPublicInAMadeFolderAndRemoved) {
    EXPECT_EQ(AutostartEntryPath({"/home/u", "/cfg/", ""}), "/cfg/autostart/org.velmora.Velmora.desktop");
    EXPECT_EQ(AutostartEntryPath({"/home/u", "relative", ""}), "/home/u/.config/autostart/org.velmora.Velmora.desktop");
    EXPECT_THROW(AutostartEntryPath({"", "", ""}), FileError);

    const testing::TempFolder folder;
    const std::string path = folder.Path("config/autostart/org.velmora.Velmora.desktop");
    EXPECT_EQ(LoadAutostart(path), TAutostartState{});
    const mode_t old = ::umask(077);
    SaveAutostart(path, "/usr/bin/velmora", {true, true});
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(folder.Read("config/autostart/org.velmora.Velmora.desktop"),
              AutostartEntryText("/usr/bin/velmora", true));
    EXPECT_EQ(LoadAutostart(path), (TAutostartState{true, true}));

    SaveAutostart(path, "/usr/bin/velmora", {false, true});
    EXPECT_EQ(LoadAutostart(path), TAutostartState{});
    EXPECT_NO_THROW(SaveAutostart(path, "/usr/bin/velmora", {false, false})) << "nothing to remove is no error";
}

} // namespace
} // namespace velmora
