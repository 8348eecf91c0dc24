#include "PressMoment.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>

namespace velmora {

std::string ResolveMoment(const TSnippetPiece& piece) {
    switch (piece.kind) {
    case TSnippetPiece::Kind::Date:
    case TSnippetPiece::Kind::Time:
        return QDateTime::currentDateTime().toString(QString::fromStdString(piece.text)).toStdString();
    case TSnippetPiece::Kind::Clipboard:
        return QGuiApplication::clipboard()->text(QClipboard::Clipboard).toStdString();
    default:
        return {};
    }
}

} // namespace velmora
