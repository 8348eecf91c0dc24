// Load: a list of 10,000 checked rows, read from its file at start-up. Start registers every row: the first row
// of each of the 144 combinations holds it, every other row is reported as held by an earlier row; each combination
// then types its first row's text, and Stop releases everything. (How long Start takes is measured by
// bench/start_bench, not here.)

#include "Shutdown.h"

#include "core/KeyNames.h"
#include "tests/fakes/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

namespace {

using namespace velmora;
using namespace velmora::hardening;
using velmora::testing::FakeFileSystem;

constexpr std::size_t kRows = 10000;
constexpr std::size_t kCombinations = 3 * 48;

/// Row i's hotkey: the modifiers change fastest, then the 48 keys, so rows 0-143 hold every combination once.
std::pair<std::uint8_t, std::int32_t> HotkeyOfRow(std::size_t row) {
    return {static_cast<std::uint8_t>(row % 3), KeyChoices()[row / 3 % 48].code};
}

TEST(ManyRows, StartRegistersTenThousandCheckedRowsAndReportsEveryConflict) {
    FakeFileSystem fs("/opt/velmora");
    RunProgram(fs, {}, [](TMainCtrl& controller) {
        for (std::size_t row = 0; row < kRows; ++row) {
            const auto [modifier, key] = HotkeyOfRow(row);
            controller.AddItem(std::make_shared<TStrItem>("text of row " + std::to_string(row), modifier, key));
        }
    });

    velmora::testing::ControllerRig<FakeFileSystem&> program(fs);
    program.Create();
    TMainCtrl& controller = *program.ctrl;
    const TRowList& rows = program.rows;
    const auto& hotkeys = program.hotkeys;
    ASSERT_EQ(rows.Count(), kRows);
    ASSERT_TRUE(program.answers.Warnings().empty());

    controller.Start();
    const auto& entries = controller.HotKeys().Entries();
    ASSERT_EQ(entries.size(), kRows);
    std::set<int> ids;
    for (std::size_t row = 0; row < kRows; ++row) {
        ASSERT_EQ(entries[row].item, rows.Item(row)) << "row " << row;
        const HotkeyStatus expected = row < kCombinations ? HotkeyStatus::Registered : HotkeyStatus::HeldByEarlierRow;
        ASSERT_EQ(entries[row].status, expected) << "row " << row;
        ASSERT_EQ(controller.HotKeys().StatusOf(rows.Item(row).get()), expected) << "row " << row;
        ids.insert(entries[row].id);
    }
    EXPECT_EQ(ids.size(), kRows) << "every row has an id of its own";
    EXPECT_EQ(hotkeys.inForce.size(), kCombinations + 1) << "every combination and the picker's";

    for (std::size_t row = 0; row < kCombinations; ++row) {
        const auto [modifier, key] = HotkeyOfRow(row);
        ASSERT_TRUE(program.hotkeys.Press(ModifierFlags(modifier), key)) << "row " << row;
    }
    ASSERT_EQ(program.typist.Texts().size(), kCombinations);
    for (std::size_t row = 0; row < kCombinations; ++row) {
        EXPECT_EQ(program.typist.Texts()[row], "text of row " + std::to_string(row));
    }

    controller.Stop();
    EXPECT_TRUE(hotkeys.inForce.empty());
    EXPECT_TRUE(controller.HotKeys().Entries().empty());
    // A second Start after the Stop gives the same picture.
    controller.Start();
    EXPECT_EQ(hotkeys.inForce.size(), kCombinations + 1);
    EXPECT_EQ(controller.HotKeys().Entries().size(), kRows);
    controller.Stop();
}

} // namespace
