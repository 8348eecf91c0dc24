#pragma once

#include <string>

namespace velmora {

/// What the core asks the user: file pickers and message boxes titled "Warning".
class IUserAnswers {
public:
    IUserAnswers() = default;
    IUserAnswers(const IUserAnswers&) = delete;
    IUserAnswers& operator=(const IUserAnswers&) = delete;
    virtual ~IUserAnswers() = default;

    /// Shows an open-file dialog; the chosen path, or empty when cancelled.
    virtual std::string PickOpenFile(const std::string& defaultExt, const std::string& filter,
                                     const std::string& initialName) = 0;
    /// Shows a save-file dialog; the chosen path, or empty when cancelled.
    virtual std::string PickSaveFile(const std::string& defaultExt, const std::string& filter,
                                     const std::string& initialName) = 0;
    /// Shows a message box titled "Warning" with an OK button.
    virtual void Warn(const std::string& text) = 0;
    /// Shows a message box titled "Warning" with an OK button and the question-mark icon: a notice rather than a
    /// failure. Warn by default.
    virtual void Notice(const std::string& text) { Warn(text); }
    /// Asks a question titled "Warning" with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
};

} // namespace velmora
