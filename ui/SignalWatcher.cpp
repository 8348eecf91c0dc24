#include "SignalWatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace velmora {

namespace {

// A signal handler can reach nothing but static storage: the write end of the pipe is kept here, and only here.
std::atomic<int> gSignalPipe{-1};

extern "C" void WriteSignalNumber(int signalNumber) {
    const int savedErrno = errno;
    const int fd = gSignalPipe.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TSignalWatcher::TSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), FSignals(signalNumbers) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "Cannot create the signal pipe");
    }
    FReadFd = fds[0];
    FWriteFd = fds[1];
    gSignalPipe.store(FWriteFd);

    FNotifier = new QSocketNotifier(FReadFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TSignalWatcher::ReadPipe);

    struct sigaction action {};
    action.sa_handler = WriteSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : FSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}

TSignalWatcher::~TSignalWatcher() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : FSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    gSignalPipe.store(-1);
    ::close(FWriteFd);
    ::close(FReadFd);
}

void TSignalWatcher::ReadPipe() {
    unsigned char byte = 0;
    while (::read(FReadFd, &byte, 1) == 1) {
        emit Received(byte);
    }
}

} // namespace velmora
