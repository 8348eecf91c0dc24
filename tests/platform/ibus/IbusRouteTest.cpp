#include "platform/PlatformError.h"
#include "platform/ibus/IbusAddress.h"
#include "platform/ibus/IbusEngineNote.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace velmora {
namespace {

TEST(IbusRoute, TheDaemonsAddressIsFoundThroughTheDisplayItServes) {
    EXPECT_EQ(IbusSocketFileName("abc", "wayland-0", ":1"), "abc-unix-wayland-0");
    EXPECT_EQ(IbusSocketFileName("abc", nullptr, ":1.0"), "abc-unix-1");
    EXPECT_EQ(IbusSocketFileName("abc", "", "localhost:12.3"), "abc-unix-12");
    EXPECT_EQ(IbusSocketFileName("abc", "../x", nullptr), "");
    EXPECT_EQ(IbusAddressInFile("# IBUS_ADDRESS=no\nIBUS_ADDRESS=unix:abstract=/tmp/x,guid=1\nIBUS_DAEMON_PID=5\n"),
              "unix:abstract=/tmp/x,guid=1");
}

// Another user's file, or one others may change, could name a daemon that sees every text.
TEST(IbusRoute, AnAddressFileOthersMayChangeIsRefused) {
    char folder[] = "/tmp/velmora-ibus-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/bus";
    std::ofstream(path) << "IBUS_ADDRESS=unix:path=/x\n";
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(IbusAddressInOwnFile(path, ::getuid()), "unix:path=/x");
    EXPECT_THROW(IbusAddressInOwnFile(path, ::getuid() + 1), PlatformError);
    ::chmod(path.c_str(), 0620);
    EXPECT_THROW(IbusAddressInOwnFile(path, ::getuid()), PlatformError);
    EXPECT_EQ(IbusAddressInOwnFile(path + "-none", ::getuid()), "");
    std::remove(path.c_str());
    ::rmdir(folder);
}

// Each copy has an engine of its own; the next copy puts back what a killed one left global, never what a running
// one is typing with, nor over the engine the user chose.
TEST(IbusRoute, TheNextCopyPutsBackTheEngineAKilledCopyLeftGlobal) {
    EXPECT_EQ(IbusEngineCopy(IbusEngineNameOf(42)), 42);
    EXPECT_EQ(IbusEngineCopy("xkb:us::eng"), std::nullopt);
    const auto running = [](pid_t pid) { return pid == 7; };
    const std::vector<TIbusEngineNote> left{{5, "anthy", ""}, {6, "xkb:de::ger", ""}};
    EXPECT_EQ(IbusEngineToPutBack(IbusEngineNameOf(6), left, running), "xkb:de::ger");
    EXPECT_EQ(IbusEngineToPutBack("", left, running), "anthy");
    EXPECT_EQ(IbusEngineToPutBack(IbusEngineNameOf(7), left, running), std::nullopt);
    EXPECT_EQ(IbusEngineToPutBack("hangul", left, running), std::nullopt);
    EXPECT_EQ(IbusEngineToPutBack(IbusEngineNameOf(6), {}, running), std::nullopt);

    char folder[] = "/tmp/velmora-ibus-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const TIbusEngineNotes killed(folder, 5);
    const TIbusEngineNotes typing(folder, 7);
    ASSERT_TRUE(killed.Write("anthy") && typing.Write("hangul"));
    const std::vector<TIbusEngineNote> found = TIbusEngineNotes(folder, 8).LeftBehind(running);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].copy, 5);
    EXPECT_EQ(found[0].userEngine, "anthy");
    killed.Remove();
    typing.Remove();
    EXPECT_TRUE(TIbusEngineNotes(folder, 8).LeftBehind([](pid_t) { return false; }).empty());
    ::rmdir(folder);
}

} // namespace
} // namespace velmora
