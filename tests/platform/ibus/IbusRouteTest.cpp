#include "platform/ibus/IbusAddress.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace velmora
