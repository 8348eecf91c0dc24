#include "FdWait.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace velmora {

bool WaitForFd(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool WriteAllUntil(int fd, std::string_view data, std::chrono::steady_clock::time_point deadline) {
    for (std::size_t done = 0; done < data.size();) {
        if (!WaitForFd(fd, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
        done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
    }
    return true;
}

std::optional<std::string> ReadAllUntil(int fd, std::chrono::steady_clock::time_point deadline, std::size_t limit) {
    std::string data;
    char buffer[65536];
    for (;;) {
        if (!WaitForFd(fd, POLLIN, deadline)) {
            return std::nullopt;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return data;
        }
        if (got < 0 && errno != EINTR && errno != EAGAIN) {
            return std::nullopt;
        }
        data.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
        if (data.size() > limit) {
            return std::nullopt;
        }
    }
}

} // namespace velmora
