#pragma once

#include <chrono>

namespace velmora {

/// Waits until `fd` is ready for `events` (poll(2) flags) or `deadline` passes; false when time ran out or the
/// wait failed. A signal does not cut the wait short.
bool WaitForFd(int fd, short events, std::chrono::steady_clock::time_point deadline);

} // namespace velmora
