// Holds the clipboard as a copying application does, for the paste tests: text, HTML and a PNG image, served by Qt.
// Writes a line to LOG when it holds them, and "lost" each time it hears of a change while it does not own the
// clipboard (another client took it, or it changed hands again since).
//
//   velmora_clipboard_owner LOG TEXT HTML_FILE PNG_FILE
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>

#include <cstdio>

namespace {

void Log(const QString& path, const QByteArray& line) {
    QFile file(path);
    if (file.open(QIODevice::Append)) {
        file.write(line + '\n');
    }
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: velmora_clipboard_owner LOG TEXT HTML_FILE PNG_FILE\n");
        return 2;
    }
    const QString log = args.at(1);
    auto* data = new QMimeData; // the clipboard takes it
    data->setText(args.at(2));
    data->setHtml(QString::fromUtf8(ReadAll(args.at(3))));
    data->setData(QStringLiteral("image/png"), ReadAll(args.at(4)));
    QClipboard* clipboard = QApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) {
            Log(log, "lost");
        }
    });
    clipboard->setMimeData(data, QClipboard::Clipboard);
    Log(log, "owned");
    return QApplication::exec();
}
