// A text edit that receives typed text in the end-to-end tests: it writes its whole text (UTF-8) to FILE,
// atomically, every 50 ms when it changed, and once at start (so the file's existence says the edit is ready).
//
//   velmora_test_target FILE [TITLE]
#include <QApplication>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

namespace {

bool Save(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(text.toUtf8());
    return file.commit();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: velmora_test_target FILE [TITLE]\n");
        return 2;
    }
    const QString path = args.at(1);

    QPlainTextEdit edit;
    edit.setWindowTitle(args.size() > 2 ? args.at(2) : QStringLiteral("velmora test target"));
    edit.resize(640, 400);
    edit.show();
    edit.activateWindow();
    edit.setFocus();

    QString saved;
    bool savedOnce = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const QString text = edit.toPlainText();
        if ((!savedOnce || text != saved) && Save(path, text)) {
            saved = text;
            savedOnce = true;
        }
    });
    timer.start(50);
    return QApplication::exec();
}
