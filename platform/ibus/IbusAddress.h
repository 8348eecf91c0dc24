#pragma once

#include <string>

#include <sys/types.h>

namespace velmora {

/// The name of the file in which the user's IBus daemon leaves its address, below $XDG_CONFIG_HOME/ibus/bus/:
/// "<machine id>-unix-<display>", the display being WAYLAND_DISPLAY's name when set, else the number of
/// DISPLAY's ":N.S" (values may be null). Empty when neither names a display.
std::string IbusSocketFileName(const std::string& machineId, const char* waylandDisplay, const char* display);

/// The address in such a file ("IBUS_ADDRESS=..." line); empty when there is none.
std::string IbusAddressInFile(const std::string& fileText);

/// The address in the daemon's file at `path`, which must be a file of user `uid` that no one else may change
/// (another could name a daemon of theirs, which would see every text); empty when there is no such file. Throws
/// PlatformError naming what is wrong with a file that is there but not the user's own.
std::string IbusAddressInOwnFile(const std::string& path, uid_t uid);

/// The address of the user's IBus daemon: IBUS_ADDRESS when set, else the one its file names. Empty when no daemon
/// has left one; throws PlatformError (see IbusAddressInOwnFile).
std::string IbusAddress();

} // namespace velmora
