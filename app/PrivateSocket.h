#pragma once

#include <optional>
#include <string>

#include <sys/types.h>

namespace velmora {

/// Makes `folder` (mode 0700) when it is missing and checks that only `uid` can enter it: a folder, not a symbolic
/// link, owned by `uid`, with no access for its group or others. Throws FileError saying what is wrong.
void MakePrivateFolder(const std::string& folder, uid_t uid);

/// Whether a process listens on the local socket at `path` (a connection is taken and closed at once, unheard).
bool SomeoneListens(const std::string& path);

/// The user id of the process at the other end of a connected local socket; none when it cannot be told.
std::optional<uid_t> PeerUid(int socketFd);

} // namespace velmora
