#pragma once

// The test windows' way of telling a script what they hold: a file written whole (atomically) whenever it changed.

#include <QSaveFile>
#include <QString>
#include <QTimer>

#include <functional>
#include <utility>

namespace velmora {

/// Writes `state()` to `path` every `periodMs` when it changed, and once at the start, so that the file's existence
/// says the window is ready. Stops when it goes.
class TStateFile {
public:
    TStateFile(QString path, std::function<QString()> state, int periodMs) : FPath(std::move(path)) {
        QObject::connect(&FTimer, &QTimer::timeout, [this, state = std::move(state)] { Write(state()); });
        FTimer.start(periodMs);
    }

private:
    void Write(const QString& state) {
        if (FWritten && state == FSaved) {
            return;
        }
        QSaveFile file(FPath);
        if (file.open(QIODevice::WriteOnly) && file.write(state.toUtf8()) >= 0 && file.commit()) {
            FSaved = state;
            FWritten = true;
        }
    }

    QString FPath;
    QString FSaved;
    bool FWritten = false;
    QTimer FTimer;
};

} // namespace velmora
