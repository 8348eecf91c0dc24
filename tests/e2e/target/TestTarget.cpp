// A text edit that receives typed text in the end-to-end tests: it writes its whole text (UTF-8) to FILE,
// atomically, every 50 ms when it changed, and once at start (so the file's existence says the edit is ready).
//
//   velmora_test_target FILE [TITLE]
#include "StateFile.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <cstdio>

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

    const velmora::TStateFile state(
        path, [&edit] { return edit.toPlainText(); }, 50);
    return QApplication::exec();
}
