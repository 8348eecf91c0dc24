#include "platform/PlatformError.h"
#include "platform/ibus/IbusAddress.h"

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

} // namespace
} // namespace velmora
