#pragma once

#include "ui/ControllerDialogs.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

/// Scripted dialogs of the controller. The definition dialog behaves as the real one towards the item: a new item
/// (no SetItem) comes back with an empty text, "None" and F1 on OK, an edited one with its own values, each then
/// changed by the scripted edit; Cancel leaves the item alone. A dialog without a scripted answer fails the test.
class FakeControllerDialogs final : public IControllerDialogs {
public:
    /// One showing of the definition dialog: its caption, whether it showed an item, and the item it showed.
    struct Shown {
        std::string caption;
        bool showItem = false;
        TStrItem item;
    };
    using TEdit = std::function<void(TStrItem&)>;

    /// The next definition dialog ends with OK after `edit` changed its controls.
    void AnswerOK(TEdit edit = {}) { FAnswers.push_back({true, std::move(edit)}); }
    /// The next definition dialog ends with Cancel (after `during` ran, as a press would while it is open).
    void AnswerCancel(std::function<void()> during = {}) {
        FAnswers.push_back({false, [during = std::move(during)](TStrItem&) {
                                if (during) {
                                    during();
                                }
                            }});
    }

    bool DefineItem(const std::string& caption, bool showItem, TStrItem& item) override {
        shown.push_back({caption, showItem, item});
        if (FAnswers.empty()) {
            ADD_FAILURE() << "unexpected definition dialog \"" << caption << "\"";
            return false;
        }
        auto [ok, edit] = std::move(FAnswers.front());
        FAnswers.pop_front();
        TStrItem controls = item;
        if (!showItem) {
            controls.FStr.clear();
            controls.FHKCtrl = 0;
            controls.FHKChar = 112;
        }
        if (edit) {
            edit(controls);
        }
        if (!ok) {
            return false;
        }
        item.FStr = controls.FStr;
        item.FHKCtrl = controls.FHKCtrl;
        item.FHKChar = controls.FHKChar;
        return true;
    }

    void ShowSettings(TConfig&) override { ++settingsShown; }

    bool AllAnswersUsed() const { return FAnswers.empty(); }

    std::vector<Shown> shown;
    int settingsShown = 0;

private:
    std::deque<std::pair<bool, TEdit>> FAnswers;
};

} // namespace velmora::testing
