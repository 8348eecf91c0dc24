#include "PressMoment.h"

#include "platform/PlatformError.h"
#include "platform/wayland/DataControlClipboard.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace velmora {

namespace {

/// The clipboard's text at the press; the compositor's clipboard is connected to at the first.
class TClipboardText {
public:
    explicit TClipboardText(bool wayland) : FTryCompositor(wayland) {}

    std::string Now() {
        QClipboard& qt = *QGuiApplication::clipboard();
        // Held by this program: its owner is the GUI thread, which cannot answer while it waits here.
        if (!qt.ownsClipboard()) {
            if (const std::optional<std::string> text = Compositor() ? FCompositor->Text() : std::nullopt) {
                return *text;
            }
        }
        return qt.text(QClipboard::Clipboard).toStdString();
    }

private:
    bool Compositor() {
        if (std::exchange(FTryCompositor, false)) {
            try {
                FCompositor = std::make_unique<TDataControlClipboard>();
            } catch (const PlatformError& error) {
                std::cerr << "velmora: {CLIPBOARD} reads Qt's clipboard: " << error.what() << std::endl;
            }
        }
        return FCompositor != nullptr;
    }

    bool FTryCompositor;
    std::unique_ptr<TDataControlClipboard> FCompositor;
};

} // namespace

MomentResolver PressMomentResolver(bool wayland) {
    auto clipboard = std::make_shared<TClipboardText>(wayland);
    return [clipboard](const TSnippetPiece& piece) -> std::string {
        switch (piece.kind) {
        case TSnippetPiece::Kind::Date:
        case TSnippetPiece::Kind::Time:
            return QDateTime::currentDateTime().toString(QString::fromStdString(piece.text)).toStdString();
        case TSnippetPiece::Kind::Clipboard:
            return clipboard->Now();
        default:
            return {};
        }
    };
}

} // namespace velmora
