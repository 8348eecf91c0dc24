#pragma once

#include <string>

namespace velmora {

/// The path of the executable file a process runs (pid 0: this process), as /proc names it, without the
/// " (deleted)" it gets once an upgrade replaced the file; empty when it cannot be read.
std::string ProcessExecutable(int pid = 0);

} // namespace velmora
