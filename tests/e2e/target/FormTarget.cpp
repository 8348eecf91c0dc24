// A sign-in form that receives typed rows in the end-to-end tests: a user and a password field, a default button
// and a note. Its state goes to STATE (written atomically every 20 ms when it changed, and once at start, so that
// the file's existence says the form is ready):
//
//   user=USER
//   pass=PASSWORD
//   signed=HOW_OFTEN_THE_BUTTON_FIRED
//   note=NOTE
//
// Each key that types a character into the note is appended to KEYLOG as "MILLISECONDS CHARACTERS", timed from the
// start on a monotonic clock. The button moves the focus to the note. At start the form puts CLIPBOARD_TEXT on the
// clipboard.
//
//   velmora_form_target STATE KEYLOG TITLE CLIPBOARD_TEXT
#include "StateFile.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>

namespace {

/// Writes a line per character key that reaches the watched widget, with the time it arrived.
class TKeyLog final : public QObject {
public:
    explicit TKeyLog(const QString& path) : FFile(path) {
        FFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
        FClock.start();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (!text.isEmpty() && text.at(0).isPrint()) {
                FFile.write(QByteArray::number(FClock.elapsed()) + ' ' + text.toUtf8() + '\n');
                FFile.flush();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QFile FFile;
    QElapsedTimer FClock;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: velmora_form_target STATE KEYLOG TITLE CLIPBOARD_TEXT\n");
        return 2;
    }
    const QString path = args.at(1);

    QDialog form;
    form.setWindowTitle(args.at(3));
    QLineEdit user;
    QLineEdit password;
    QPlainTextEdit note;
    QPushButton signIn(QStringLiteral("Sign in"));
    signIn.setDefault(true);
    auto* layout = new QFormLayout(&form); // owned by the form
    layout->addRow(QStringLiteral("User"), &user);
    layout->addRow(QStringLiteral("Password"), &password);
    layout->addRow(&signIn);
    layout->addRow(QStringLiteral("Note"), &note);
    int signedIn = 0;
    QObject::connect(&signIn, &QPushButton::clicked, [&] {
        ++signedIn;
        note.setFocus();
    });
    TKeyLog keyLog(args.at(2));
    note.installEventFilter(&keyLog);

    QGuiApplication::clipboard()->setText(args.at(4));
    form.resize(480, 360);
    form.show();
    form.activateWindow();
    user.setFocus();

    const velmora::TStateFile state(
        path,
        [&] {
            return QStringLiteral("user=%1\npass=%2\nsigned=%3\nnote=%4\n")
                .arg(user.text(), password.text(), QString::number(signedIn), note.toPlainText());
        },
        20);
    return QApplication::exec();
}
