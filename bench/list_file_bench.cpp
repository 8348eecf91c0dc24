// Times loading and saving list files of 10,000, 100,000 and 1,000,000 items against the floor of the same work
// done by hand (reading the bytes and base64-decoding every FStr; writing the bytes with one write), and measures
// the peak memory of a load in a fresh process.
//
//   velmora_bench_listfile [--sizes 10000,100000] [--runs 3] [--detail] [--keep]
//
// --detail adds, per size, where the time of one load and one save goes, stage by stage.

#include "core/Base64.h"
#include "core/ListFile.h"
#include "core/PosixFileSystem.h"
#include "core/RowList.h"
#include "core/StrItem.h"
#include "core/XmlDocument.h"
#include "tests/core/ListFileRig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace velmora;

/// The rows, the document and the procedures of one program run.
using Session = testing::ListFileRig<TPosixFileSystem>;

/// Nobody is asked anything in a benchmark: a message means the work measured was not the work meant.
void ExpectNothingShown(const Session& session) {
    if (!session.answers.History().empty()) {
        throw std::runtime_error("unexpected message: " + session.answers.History().front().text);
    }
}

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// The best of `runs` timings (the least disturbed one).
double Best(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        best = std::min(best, Seconds(work));
    }
    return best;
}

/// Snippet texts of 8 to 160 bytes: mostly ASCII words, some lines broken, some UTF-8 letters.
std::vector<TStrItemPtr> MakeItems(std::size_t count) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> length(8, 160);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> key(65, 90);
    std::vector<TStrItemPtr> items;
    items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto item = std::make_shared<TStrItem>();
        const int n = length(random);
        while (static_cast<int>(item->FStr.size()) < n) {
            const int p = percent(random);
            if (p < 12) {
                item->FStr += ' ';
            } else if (p < 13) {
                item->FStr += "\r\n";
            } else if (p < 15) {
                item->FStr += "\xc3\xa9"; // é
            } else {
                item->FStr += static_cast<char>(letter(random));
            }
        }
        item->FHKCtrl = static_cast<std::uint8_t>(i % 3);
        item->FHKChar = key(random);
        item->FChecked = percent(random) < 70;
        items.push_back(std::move(item));
    }
    return items;
}

/// The floor of a load: the file's bytes in one read, then every FStr value found and decoded.
std::size_t FloorLoad(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    ::fstat(fd, &st);
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got <= 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    std::size_t decoded = 0;
    const std::string_view text(bytes);
    constexpr std::string_view kKey = "FStr=\"";
    for (std::size_t at = text.find(kKey); at != std::string_view::npos; at = text.find(kKey, at)) {
        at += kKey.size();
        const std::size_t end = text.find('"', at);
        decoded += DecodeBase64(text.substr(at, end - at)).size();
        at = end;
    }
    return decoded;
}

/// The floor of a save: the same bytes with one write into a new file, synced like the real save.
void FloorSave(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("floor write failed");
    }
    ::fsync(fd);
    ::close(fd);
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

/// A value in kB from /proc/self/status ("VmHWM", "VmRSS").
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return -1;
}

/// Child mode: loads the default list file of `dir` in this fresh process, then saves it, and prints
/// "<rss before> <peak after load> <peak during save>" in kB.
int PeakChild(const std::string& dir) {
    const long before = StatusKb("VmRSS");
    Session session(dir);
    session.list.LoadList(false);
    const long loadPeak = StatusKb("VmHWM");
    {
        std::ofstream("/proc/self/clear_refs") << "5"; // restarts the peak from the current size
    }
    session.list.SaveList(false);
    const long savePeak = StatusKb("VmHWM");
    ExpectNothingShown(session);
    std::cout << before << " " << loadPeak << " " << savePeak << " " << session.rows.Count() << std::endl;
    return 0;
}

/// One load and one save done stage by stage through the same calls the list file makes, to show where time goes.
void PrintStages(const std::string& path) {
    TPosixFileSystem fs;
    double t[8] = {};
    std::string bytes;
    t[0] = Seconds([&] { bytes = fs.ReadFile(path); });
    auto doc = CreateXmlDocument();
    t[1] = Seconds([&] { doc->LoadOwnedText(std::move(bytes)); });
    std::vector<TStrItemPtr> items;
    t[2] = Seconds([&] {
        IXmlNode& root = doc->Root();
        items.reserve(root.ChildCount());
        for (std::size_t i = 0; i < root.ChildCount(); ++i) {
            items.push_back(TStrItem::LoadStrItem(root.Child(i)));
        }
    });
    TRowList rows;
    t[3] = Seconds([&] {
        TRowBatch batch(rows);
        rows.Reserve(items.size());
        for (auto& item : items) {
            rows.Append(item, item->FChecked);
        }
    });
    // The text the list file builds: sized first, then every row appended, then handed to the document.
    std::size_t size = ListTemplateText().size() + 16;
    t[4] = Seconds([&] {
        for (auto row = rows.First(); row; row = rows.Next(*row)) {
            size += rows.Item(*row)->ItemXmlSize();
        }
    });
    std::string text;
    t[5] = Seconds([&] {
        text.resize(size);
        char* out = text.data() + ListTemplateText().size();
        for (auto row = rows.First(); row; row = rows.Next(*row)) {
            out = rows.Item(*row)->WriteItemXml(out);
        }
    });
    t[6] = Seconds([&] { fs.ReplaceFile(path, text); });
    t[7] = Seconds([&] { doc->LoadTextLater(std::move(text)); });
    std::printf("          stages: load = read %.3f + parse %.3f + items %.3f + rows %.3f;"
                " save = size %.3f + text %.3f + replace %.3f + hand to document %.3f\n",
                t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]);
}

struct Peak {
    long before = 0, load = 0, save = 0;
};

Peak MeasurePeak(const std::string& dir) {
    const std::string command =
        "'" + std::filesystem::canonical("/proc/self/exe").string() + "' --peak-child '" + dir + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot start the measuring child");
    }
    Peak peak;
    long rows = 0;
    if (std::fscanf(pipe, "%ld %ld %ld %ld", &peak.before, &peak.load, &peak.save, &rows) != 4) {
        peak = {};
    }
    ::pclose(pipe);
    return peak;
}

std::vector<std::size_t> ParseSizes(const std::string& text) {
    std::vector<std::size_t> sizes;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        sizes.push_back(static_cast<std::size_t>(std::stoull(part)));
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {10000, 100000, 1000000};
    int runs = 3;
    bool keep = false;
    bool detail = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--peak-child" && i + 1 < argc) {
            return PeakChild(argv[i + 1]);
        } else if (arg == "--sizes" && i + 1 < argc) {
            sizes = ParseSizes(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--keep") {
            keep = true;
        } else if (arg == "--detail") {
            detail = true;
        } else {
            std::cerr << "usage: " << argv[0] << " [--sizes 10000,100000,1000000] [--runs 3] [--detail] [--keep]\n";
            return 2;
        }
    }

    std::string dir = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        std::cerr << "cannot create a temporary folder\n";
        return 1;
    }
    const std::string listPath = dir + "/" + kListFileName;
    const std::string floorPath = dir + "/floor.xml";

    std::printf("List file load and save against the floor (best of %d runs; files in %s)\n", runs, dir.c_str());
    std::printf("load = read + parse + items + rows; floor = read + base64-decode every FStr\n");
    std::printf("save = list text + atomic replace (fsync); floor = one write + fsync\n");
    std::printf("peak = highest resident memory of a fresh process loading the file, less its size before\n\n");
    std::printf("%9s %9s | %8s %8s %6s | %8s %8s %6s | %9s %6s %10s\n", "items", "file MB", "load s", "floor s",
                "ratio", "save s", "floor s", "ratio", "peak MB", "x file", "save pk MB");

    bool allMet = true;
    for (const std::size_t count : sizes) {
        double saveTime = 0;
        double saveFloor = 0;
        {
            Session session(dir);
            std::filesystem::remove(listPath);
            session.list.LoadList(false); // no file yet: the current list file becomes the default path
            std::vector<TStrItemPtr> items = MakeItems(count);
            {
                TRowBatch batch(session.rows);
                session.rows.Reserve(items.size());
                for (auto& item : items) {
                    session.rows.Append(item, item->FChecked);
                }
            }
            items.clear();
            saveTime = Best(runs, [&] { session.list.SaveList(false); });
            ExpectNothingShown(session);
            const std::string bytes = ReadWhole(listPath);
            saveFloor = Best(runs, [&] { FloorSave(floorPath, bytes); });
            std::filesystem::remove(floorPath);
        }
        const double fileMb = static_cast<double>(std::filesystem::file_size(listPath)) / (1024.0 * 1024.0);

        std::size_t loaded = 0;
        double loadTime = 1e300;
        for (int run = 0; run < runs; ++run) {
            auto session = std::make_unique<Session>(dir);
            loadTime = std::min(loadTime, Seconds([&] { session->list.LoadList(false); }));
            loaded = session->rows.Count();
            session.reset(); // freeing the items and the document is not part of the load
        }
        if (loaded != count) {
            std::cerr << "loaded " << loaded << " rows of " << count << "\n";
            return 1;
        }
        std::size_t decoded = 0;
        const double loadFloor = Best(runs, [&] { decoded = FloorLoad(listPath); });

        const Peak peak = MeasurePeak(dir);
        const double peakMb = static_cast<double>(peak.load - peak.before) / 1024.0;
        const double loadRatio = loadTime / loadFloor;
        const double saveRatio = saveTime / saveFloor;
        const double memRatio = peakMb / fileMb;
        allMet = allMet && loadRatio <= 1.6 && saveRatio <= 2.5 && memRatio <= 4.0;
        std::printf("%9zu %9.1f | %8.3f %8.3f %5.2fx | %8.3f %8.3f %5.2fx | %9.1f %5.2fx %10.1f\n", count, fileMb,
                    loadTime, loadFloor, loadRatio, saveTime, saveFloor, saveRatio, peakMb, memRatio,
                    static_cast<double>(peak.save - peak.before) / 1024.0);
        (void)decoded;
        if (detail) {
            PrintStages(listPath);
        }
    }
    std::printf("\ntargets: load <= 1.60x, save <= 2.50x, peak <= 4.00x file size: %s\n",
                allMet ? "all met" : "NOT all met");
    if (!keep) {
        std::filesystem::remove_all(dir);
    }
    return 0;
}
