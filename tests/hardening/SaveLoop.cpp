// A helper of the fault tests: loads the list in FOLDER the way the program starts, then saves it over and over
// through the list-file procedures and the real file system, switching every text between the two versions of
// the large list each time. The test kills it at random moments.
//
//   velmora_save_loop FOLDER ROWS
//
// Prints "ready <version> <microseconds of the first save>" once the loaded list was recognised and saved once,
// then keeps saving until it is killed.

#include "LargeList.h"
#include "core/PosixFileSystem.h"
#include "tests/core/ListFileRig.h"

#include <chrono>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

using namespace velmora;

/// The loop asks nothing: any message means the list file was not what the test wrote, or a save failed.
void ExpectNothingShown(const testing::FakeUserAnswers& answers) {
    if (!answers.History().empty()) {
        throw std::runtime_error("unexpected message: " + answers.History().front().text);
    }
}

int Run(const std::string& folder, std::size_t count) {
    testing::ListFileRig<TPosixFileSystem> program(folder);
    program.list.LoadList(false);
    ExpectNothingShown(program.answers);
    char version = hardening::LargeListVersion(program.rows, count);
    if (version == '?') {
        std::cerr << "velmora_save_loop: the list in " << folder << " is neither version" << std::endl;
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    for (bool first = true;; first = false) {
        version = version == 'A' ? 'B' : 'A';
        hardening::SetLargeListVersion(program.rows, version);
        program.list.SaveList(false);
        ExpectNothingShown(program.answers);
        if (first) {
            const auto took =
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
            std::cout << "ready " << version << ' ' << took.count() << std::endl;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: velmora_save_loop FOLDER ROWS" << std::endl;
        return 2;
    }
    try {
        return Run(argv[1], std::stoul(argv[2]));
    } catch (const std::exception& error) {
        std::cerr << "velmora_save_loop: " << error.what() << std::endl;
        return 1;
    }
}
