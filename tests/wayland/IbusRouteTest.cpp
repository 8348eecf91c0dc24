#include "platform/ibus/IbusAddress.h"
#include "platform/ibus/ImePieces.h"
#include "platform/wayland/WaylandLayout.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(IbusRoute, ThePiecesCommitTheCharactersBeforeEachRunOfKeys) {
    const std::vector<TImePiece> pieces = ImePieces(WalkText(U"ab\tc\r\n\r\nd é\te\t"));
    const std::vector<TImePiece> expected = {{U"ab", {StrokeKind::Tab}},
                                             {U"c", {StrokeKind::Return, StrokeKind::Return}},
                                             {U"d é", {StrokeKind::Tab}},
                                             {U"e", {StrokeKind::Tab}}};
    EXPECT_EQ(pieces, expected);
    EXPECT_EQ(StrokeCount(pieces), WalkText(U"ab\tc\r\n\r\nd é\te\t").size());
    EXPECT_EQ(ImePieces(WalkText(U"\tx")), (std::vector<TImePiece>{{U"", {StrokeKind::Tab}}, {U"x", {}}}));
}

TEST(IbusRoute, TheDaemonsAddressIsFoundThroughTheDisplayItServes) {
    EXPECT_EQ(IbusSocketFileName("abc", "wayland-0", ":1"), "abc-unix-wayland-0");
    EXPECT_EQ(IbusSocketFileName("abc", nullptr, ":1.0"), "abc-unix-1");
    EXPECT_EQ(IbusSocketFileName("abc", "", "localhost:12.3"), "abc-unix-12");
    EXPECT_EQ(IbusSocketFileName("abc", nullptr, nullptr), "");
    EXPECT_EQ(IbusSocketFileName("abc", "../x", nullptr), "");
    EXPECT_EQ(IbusAddressInFile("# comment\nIBUS_ADDRESS=unix:abstract=/tmp/x,guid=1\nIBUS_DAEMON_PID=5\n"),
              "unix:abstract=/tmp/x,guid=1");
    EXPECT_EQ(IbusAddressInFile("# IBUS_ADDRESS=nothing\n"), "");
}

TEST(IbusRoute, TheTriggerKeyIsAKeyOfTheKeymapWithoutSymbols) {
    const std::string keymap = R"(xkb_keymap {
        xkb_keycodes { minimum = 8; maximum = 20; <AE01> = 10; <EMPT> = 12; <AE02> = 11; };
        xkb_types { include "basic" };
        xkb_compat { include "basic" };
        xkb_symbols { key <AE01> { [ 1, exclam ] }; key <AE02> { [ 2, at ] }; };
    };)";
    EXPECT_EQ(UnboundKeycode(keymap), 12U - 8U);
    EXPECT_EQ(UnboundKeycode("not a keymap"), 0U);
}

} // namespace
} // namespace velmora
