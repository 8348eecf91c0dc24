#pragma once

#include "tests/fakes/FakeControllerDialogs.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"
#include "tests/fakes/FakeUserAnswers.h"
#include "tests/ui/UiTestSupport.h"

#include "ui/MainCtrl.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

/// The main controller among fakes of everything it talks to: the user's answers and dialogs, the hotkey service
/// and the typist, and a file system of the given kind (made from the constructor's arguments; a reference type
/// uses the caller's). Create() makes the controller, which loads the default list file.
template <typename FileSystem = FakeFileSystem>
struct ControllerRig {
    static constexpr const char* kListPath = "/opt/velmora/mouses.xml";

    template <typename... FileSystemArgs>
    explicit ControllerRig(FileSystemArgs&&... args) : fs(std::forward<FileSystemArgs>(args)...) {}

    void Create() {
        ctrl = std::make_unique<TMainCtrl>(rows, *document,
                                           TControllerServices{fs, answers, dialogs, hotkeys, typist, {}});
    }
    /// Creates the controller over a default list file (of the fake file system) that holds these items.
    void CreateWith(const std::vector<TStrItemPtr>& items) {
        fs.SetFile(kListPath, ListFileBytes(items));
        Create();
    }
    /// The default list file's bytes, or "<missing>".
    std::string ListFile() const { return fs.File(kListPath).value_or("<missing>"); }

    FileSystem fs;
    FakeUserAnswers answers;
    FakeControllerDialogs dialogs;
    test::FakeHotkeyService hotkeys;
    FakeTypist typist;
    TRowList rows;
    std::unique_ptr<IXmlDocument> document = CreateXmlDocument();
    std::unique_ptr<TMainCtrl> ctrl;
};

} // namespace velmora::testing
