#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace velmora {

/// Owns a file descriptor and closes it once, however the scope is left.
class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    int Get() const { return FFd; }
    /// Closes now; returns the error of close(2), or 0.
    int Close() {
        const int fd = std::exchange(FFd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int FFd;
};

} // namespace velmora
