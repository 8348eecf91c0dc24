#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

/// Waits until `fd` is ready for `events` (poll(2) flags) or `deadline` passes; false when time ran out or the
/// wait failed. A signal does not cut the wait short.
bool WaitForFd(int fd, short events, std::chrono::steady_clock::time_point deadline);

/// Writes all of `data` to the non-blocking `fd` before `deadline`; false when it could not.
bool WriteAllUntil(int fd, std::string_view data, std::chrono::steady_clock::time_point deadline);

/// Reads the non-blocking `fd` to its end before `deadline`; none when it could not or it held more than `limit`.
std::optional<std::string> ReadAllUntil(int fd, std::chrono::steady_clock::time_point deadline, std::size_t limit);

} // namespace velmora
