#pragma once

#include "Checks.h"

#include "core/FileSystem.h"
#include "core/ListFile.h"
#include "core/XmlDocument.h"
#include "tests/core/fakes/FakeUserAnswers.h"
#include "tests/platform/fakes/FakeHotkeyService.h"
#include "tests/platform/fakes/FakeTypist.h"
#include "tests/ui/fakes/FakeControllerDialogs.h"
#include "ui/MainCtrl.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::hardening {

/// What one run of the program did: the texts of its rows at the end and what the user was told and asked.
struct TRunResult {
    std::vector<std::string> texts;
    std::vector<std::string> warnings;
    std::size_t saveDialogs = 0;
};

/// One run of the program's controller on `fs`: start-up (loading the default list), `edit` on the rows, then the
/// shutdown that saves the list and the settings. A save dialog, if one is shown, is answered with `rescuePath`.
template <typename Edit>
TRunResult RunProgram(IFileSystem& fs, const std::string& rescuePath, Edit edit) {
    testing::FakeUserAnswers answers;
    answers.AnswerSave(rescuePath);
    testing::FakeControllerDialogs dialogs;
    test::FakeHotkeyService hotkeys;
    TFakeTypist typist;
    TRowList rows;
    const auto document = CreateXmlDocument();
    TRunResult result;
    {
        TMainCtrl controller(rows, *document, {fs, answers, dialogs, hotkeys, typist});
        edit(controller);
        for (std::size_t row = 0; row < rows.Count(); ++row) {
            result.texts.push_back(rows.Item(row)->FStr);
        }
        controller.Shutdown();
    }
    result.warnings = answers.Warnings();
    result.saveDialogs = answers.TextsOf("save").size();
    return result;
}

/// Appends a checked row with this text.
inline void AddRow(TMainCtrl& controller, const std::string& text) {
    auto item = std::make_shared<TStrItem>();
    item->FStr = text;
    item->FHKCtrl = 1;
    item->FHKChar = 112;
    controller.AddItem(std::move(item));
}

/// The texts of the rows a list file gives when the program loads it, or none when it does not load.
inline std::vector<std::string> TextsInListFile(IFileSystem& fs, const std::string& path) {
    testing::FakeUserAnswers answers;
    answers.AnswerOpen(path);
    TRowList rows;
    const auto document = CreateXmlDocument();
    TListFile list(rows, *document, fs, answers);
    list.LoadList(true);
    std::vector<std::string> texts;
    for (std::size_t row = 0; row < rows.Count(); ++row) {
        texts.push_back(rows.Item(row)->FStr);
    }
    return texts;
}

} // namespace velmora::hardening
