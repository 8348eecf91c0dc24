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

#include "core/ListFile.h"
#include "core/UserAnswers.h"
#include "core/XmlDocument.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

namespace {

using namespace velmora;

/// Answers nothing: the loop never asks, and any warning means the list file was not what the test wrote.
class TSilentAnswers final : public IUserAnswers {
public:
    std::string PickOpenFile(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string PickSaveFile(const std::string&, const std::string&, const std::string&) override { return {}; }
    void Warn(const std::string& text) override { throw std::runtime_error("unexpected warning: " + text); }
    bool AskYesNo(const std::string&) override { return false; }
};

int Run(const std::string& folder, std::size_t count) {
    TPosixFileSystem fs(folder);
    TSilentAnswers answers;
    TRowList rows;
    const auto document = CreateXmlDocument();
    TListFile list(rows, *document, fs, answers);
    list.LoadList(false);
    char version = hardening::LargeListVersion(rows, count);
    if (version == '?') {
        std::cerr << "velmora_save_loop: the list in " << folder << " is neither version" << std::endl;
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    for (bool first = true;; first = false) {
        version = version == 'A' ? 'B' : 'A';
        hardening::SetLargeListVersion(rows, version);
        list.SaveList(false);
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
