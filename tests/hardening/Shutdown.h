#pragma once

#include "Checks.h"

#include "core/FileSystem.h"
#include "tests/core/ListFileRig.h"
#include "tests/ui/ControllerRig.h"

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
    testing::ControllerRig<IFileSystem&> program(fs);
    program.answers.AnswerSave(rescuePath);
    program.Create();
    edit(*program.ctrl);
    TRunResult result;
    for (std::size_t row = 0; row < program.rows.Count(); ++row) {
        result.texts.push_back(program.rows.Item(row)->FStr);
    }
    program.ctrl->Shutdown();
    program.ctrl.reset();
    result.warnings = program.answers.Warnings();
    result.saveDialogs = program.answers.TextsOf("save").size();
    return result;
}

/// Appends a checked row with this text.
inline void AddRow(TMainCtrl& controller, const std::string& text) {
    controller.AddItem(std::make_shared<TStrItem>(text, 1, 112));
}

/// The texts of the rows a list file gives when the program loads it, or none when it does not load.
inline std::vector<std::string> TextsInListFile(IFileSystem& fs, const std::string& path) {
    testing::ListFileRig<IFileSystem&> program(fs);
    program.answers.AnswerOpen(path);
    program.list.LoadList(true);
    std::vector<std::string> texts;
    for (std::size_t row = 0; row < program.rows.Count(); ++row) {
        texts.push_back(program.rows.Item(row)->FStr);
    }
    return texts;
}

} // namespace velmora::hardening
