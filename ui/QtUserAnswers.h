#pragma once

#include "core/UserAnswers.h"

#include <QPointer>
#include <QWidget>

#include <string>

namespace velmora {

/// The user's answers through Qt: file dialogs and message boxes titled "Warning".
class TQtUserAnswers final : public IUserAnswers {
public:
    /// Dialogs open over `parent` (none: centred on the screen).
    explicit TQtUserAnswers(QWidget* parent = nullptr);

    /// The window the dialogs open over.
    void SetParent(QWidget* parent) { FParent = parent; }

    std::string PickOpenFile(const std::string& defaultExt, const std::string& filter,
                             const std::string& initialName) override;
    std::string PickSaveFile(const std::string& defaultExt, const std::string& filter,
                             const std::string& initialName) override;
    void Warn(const std::string& text) override;
    void Notice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

    /// A filter of the form "label|pattern;pattern|..." as Qt writes it, each pattern also in lower case:
    /// "XML File|*.XML" gives "XML File (*.XML *.xml)".
    static QString QtFilter(const std::string& filter);

private:
    std::string PickFile(bool save, const std::string& defaultExt, const std::string& filter,
                         const std::string& initialName);

    QPointer<QWidget> FParent;
};

} // namespace velmora
