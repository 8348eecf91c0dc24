#pragma once

#include "core/Config.h"
#include "core/StrItem.h"

#include <string>

namespace velmora {

/// The modal dialogs the controller opens: Qt forms in the program, scripted fakes in the tests.
class IControllerDialogs {
public:
    IControllerDialogs() = default;
    IControllerDialogs(const IControllerDialogs&) = delete;
    IControllerDialogs& operator=(const IControllerDialogs&) = delete;
    virtual ~IControllerDialogs() = default;

    /// Shows the definition dialog titled `caption` with `item`'s values (SetItem when `showItem`); on OK stores the
    /// controls into `item` (GetItem) and returns true; Cancel or the title-bar close returns false.
    virtual bool DefineItem(const std::string& caption, bool showItem, TStrItem& item) = 0;
    /// Shows the settings dialog modally; on OK it stores its choices into `config`.
    virtual void ShowSettings(TConfig& config) = 0;
};

} // namespace velmora
