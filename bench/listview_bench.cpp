// Times the list view from loading a list file of 100,000 items to the first paint that shows them, under the
// offscreen platform, and prints the resident memory then.
//
//   velmora_bench_listview [--rows 100000] [--keep]
//
// The list file is written to a fresh folder under the system's temporary folder (kept with --keep). The load is
// the controller's start-up load of the default list file; the view is the program's list view at its size in the
// main window.

#include "core/ListFile.h"
#include "core/PosixFileSystem.h"
#include "core/RowList.h"
#include "core/StrItem.h"
#include "core/XmlDocument.h"
#include "platform/HotkeyService.h"
#include "platform/Typist.h"
#include "ui/ControllerDialogs.h"
#include "ui/ItemListModel.h"
#include "ui/ItemListView.h"
#include "ui/MainCtrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace velmora;

/// Nobody is asked anything, no hotkey is registered and nothing is typed in a benchmark.
class Silent final : public IUserAnswers, public IControllerDialogs, public IHotkeyService, public ITypist {
public:
    std::string PickOpenFile(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string PickSaveFile(const std::string&, const std::string&, const std::string&) override { return {}; }
    void Warn(const std::string& text) override { throw std::runtime_error("unexpected warning: " + text); }
    bool AskYesNo(const std::string&) override { return false; }
    bool DefineItem(const std::string&, bool, TStrItem&) override { return false; }
    void ShowSettings(TConfig&) override {}
    THotkeyResult RegisterHotKey(const THotkeyRequest&) override { return {}; }
    void UnregisterHotKey(int) override {}
    void SetPressHandler(HotkeyPressHandler) override {}
    void TypeText(const TTypingRequest&) override {}
    void SetProblemHandler(TypingProblemHandler) override {}
    void SetIdleHandler(TypingIdleHandler) override {}
    void Cancel() override {}
};

/// Counts the paints of a widget.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

/// A value of /proc/self/status in MB ("VmRSS", "VmHWM").
double StatusMegabytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtod(line.c_str() + prefix.size(), nullptr) / 1024.0;
        }
    }
    return 0;
}

std::string WriteListFile(const std::string& dir, long rows) {
    auto document = CreateXmlDocument();
    document->LoadText(ListTemplateText());
    for (long i = 0; i < rows; ++i) {
        TStrItem item;
        item.FStr = "Snippet number " + std::to_string(i + 1) + "\r\nwith a second line and some more words";
        item.FHKCtrl = static_cast<std::uint8_t>(i % 3);
        item.FHKChar = 65 + static_cast<std::int32_t>(i % 26);
        item.FChecked = i % 2 == 0;
        item.SaveStrItem(document->Root());
    }
    const std::string path = dir + "/" + kListFileName;
    std::ofstream(path, std::ios::binary) << document->SaveText();
    return path;
}

} // namespace

int main(int argc, char** argv) {
    long rows = 100000;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::cerr << "usage: velmora_bench_listview [--rows N] [--keep]\n";
            return 2;
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-listview-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string listPath = WriteListFile(dir, rows);
    std::cout << "list file: " << listPath << " (" << rows << " items, " << std::filesystem::file_size(listPath) / 1024
              << " KiB)\n";

    TPosixFileSystem fs(dir);
    Silent silent;
    TRowList rowList;
    auto document = CreateXmlDocument();
    TItemListModel model(rowList);
    TItemListView view(model);
    view.resize(533, 263);
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    view.show();
    while (counter.paints == 0) {
        QApplication::processEvents();
    }
    const double rssBefore = StatusMegabytes("VmRSS");
    counter.paints = 0;

    QElapsedTimer timer;
    timer.start();
    auto ctrl =
        std::make_unique<TMainCtrl>(rowList, *document, TControllerServices{fs, silent, silent, silent, silent, {}});
    view.AttachController(*ctrl);
    const double loadMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const int paintsDuringLoad = counter.paints;
    while (counter.paints == 0) {
        QApplication::processEvents();
    }
    const double paintMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    // Let any further paint the load caused happen, then count them.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (std::chrono::steady_clock::now() < settle) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double rss = StatusMegabytes("VmRSS");
    const double peak = StatusMegabytes("VmHWM");

    std::printf("rows shown:                %zu (model resets: %d, paints during the load: %d, paints after: %d)\n",
                rowList.Count(), resets, paintsDuringLoad, counter.paints);
    std::printf("load of the list file:     %8.1f ms\n", loadMs);
    std::printf("load to first paint:       %8.1f ms   (target < 300 ms)\n", paintMs);
    std::printf("resident memory:           %8.1f MB   (target < 120 MB; %.1f MB before the load, peak %.1f MB)\n", rss,
                rssBefore, peak);

    timer.restart();
    view.DetachController();
    ctrl.reset();
    std::printf("controller destroyed in:   %8.1f ms\n", static_cast<double>(timer.nsecsElapsed()) / 1e6);

    if (!keep) {
        std::filesystem::remove_all(dir);
    }
    return paintMs < 300 && rss < 120 ? 0 : 1;
}
