// The program killed (SIGKILL) at random moments while it saves a large list: afterwards the list file is always
// one whole version, the one before the interrupted save or the one it was writing, and it loads.

#include "ChildProcess.h"
#include "LargeList.h"
#include "core/PosixFileSystem.h"

#include "tests/core/ListFileRig.h"
#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace {

using namespace velmora;
using velmora::hardening::TSpawned;
using velmora::testing::TempFolder;
using Program = velmora::testing::ListFileRig<TPosixFileSystem>;

constexpr std::size_t kRows = 4000;
constexpr int kKills = 200;

/// Writes version A of the large list into the folder, through the program's own save.
void WriteVersionA(const std::string& folder) {
    Program program(folder);
    program.list.LoadList(false);
    hardening::FillLargeList(program.rows, 'A', kRows);
    program.list.SaveList(false);
}

/// Loads the folder's list as the program would at its next start; the version found, or '?'.
char VersionOnDisk(const std::string& folder, std::vector<std::string>& warnings) {
    Program program(folder);
    program.list.LoadList(false);
    warnings = program.answers.Warnings();
    return hardening::LargeListVersion(program.rows, kRows);
}

/// Removes the temporary files a killed save leaves behind; returns how many there were.
int RemoveLeftovers(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".mouses.xml.", 0) == 0) {
            std::filesystem::remove(entry.path());
            ++count;
        }
    }
    return count;
}

TEST(KilledWhileSaving, TheListFileIsAlwaysOneWholeVersion) {
    TempFolder folder;
    WriteVersionA(folder.Path());

    // The same draws every run (each a fraction of the time one save takes), unless VELMORA_KILL_SEED asks for
    // others; the output names the seed, to replay a failure.
    const char* seedText = std::getenv("VELMORA_KILL_SEED");
    const unsigned seed = seedText != nullptr ? static_cast<unsigned>(std::stoul(seedText)) : 2026u;
    std::cout << "[          ] seed " << seed << " (VELMORA_KILL_SEED)\n";
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    int killedMidSave = 0;
    int found[2] = {0, 0};
    for (int kill = 0; kill < kKills; ++kill) {
        TSpawned loop({VELMORA_SAVE_LOOP, folder.Path(), std::to_string(kRows)});
        std::istringstream ready(loop.ReadLine(std::chrono::seconds(60)));
        std::string word;
        char version = '?';
        long long firstSaveUs = 0;
        ready >> word >> version >> firstSaveUs;
        ASSERT_EQ(word, "ready") << "the save loop did not start (kill " << kill << ")";

        // Anywhere within the next two or three saves.
        std::uniform_int_distribution<long long> delay(0, 3 * std::max(firstSaveUs, 1000LL));
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        const auto end = loop.Kill(SIGKILL);
        ASSERT_EQ(end.signal, SIGKILL) << "the save loop ended on its own (kill " << kill << ")";

        killedMidSave += RemoveLeftovers(folder.Path()) > 0 ? 1 : 0;
        std::vector<std::string> warnings;
        const char onDisk = VersionOnDisk(folder.Path(), warnings);
        ASSERT_TRUE(warnings.empty()) << "kill " << kill << ": the list no longer loads: " << warnings.front();
        ASSERT_NE(onDisk, '?') << "kill " << kill << ": the list file holds neither version whole";
        ++found[onDisk == 'A' ? 0 : 1];
        ASSERT_EQ(folder.Names(), std::vector<std::string>{"mouses.xml"}) << "kill " << kill;
    }
    std::cout << "[          ] " << kKills << " kills: " << killedMidSave << " in the middle of a save (a temporary "
              << "file was left), version A found " << found[0] << " times, B " << found[1] << " times\n";
}

} // namespace
