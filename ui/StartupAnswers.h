#pragma once

#include "core/UserAnswers.h"

#include <string>
#include <utility>
#include <vector>

namespace velmora {

/// The user's answers while the main window is not on the screen yet: warnings and notices wait, to be shown over
/// the window once it is (a box without a shown parent opens in a corner); questions and file dialogs go through.
class TStartupAnswers final : public IUserAnswers {
public:
    /// One waiting message: whether it is a notice (else a warning), and its text.
    using TMessage = std::pair<bool, std::string>;

    explicit TStartupAnswers(IUserAnswers& answers) : FAnswers(answers) {}

    /// Stops holding messages back; returns those that waited, oldest first.
    std::vector<TMessage> Release() {
        FHolding = false;
        return std::exchange(FHeld, {});
    }

    std::string PickOpenFile(const std::string& defaultExt, const std::string& filter,
                             const std::string& initialName) override {
        return FAnswers.PickOpenFile(defaultExt, filter, initialName);
    }
    std::string PickSaveFile(const std::string& defaultExt, const std::string& filter,
                             const std::string& initialName) override {
        return FAnswers.PickSaveFile(defaultExt, filter, initialName);
    }
    void Warn(const std::string& text) override { Show(false, text); }
    void Notice(const std::string& text) override { Show(true, text); }
    bool AskYesNo(const std::string& text) override { return FAnswers.AskYesNo(text); }

private:
    void Show(bool notice, const std::string& text) {
        if (FHolding) {
            FHeld.emplace_back(notice, text);
        } else if (notice) {
            FAnswers.Notice(text);
        } else {
            FAnswers.Warn(text);
        }
    }

    IUserAnswers& FAnswers;
    bool FHolding = true;
    std::vector<TMessage> FHeld;
};

} // namespace velmora
