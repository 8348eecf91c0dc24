#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace velmora {

/// Turns the termination signals (SIGTERM, SIGINT, SIGHUP) into a Qt signal on the GUI thread, so that the program
/// can close its window and save instead of dying on the spot. One instance at a time.
class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    /// Catches the given signals from now on; throws std::system_error when the pipe cannot be made.
    explicit TSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    /// Restores the signals' default handling and closes the pipe.
    ~TSignalWatcher() override;
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

signals:
    /// One of the watched signals arrived.
    void Received(int signalNumber);

private:
    void ReadPipe();

    int FReadFd = -1;
    int FWriteFd = -1;
    QSocketNotifier* FNotifier = nullptr;
    std::vector<int> FSignals;
};

} // namespace velmora
