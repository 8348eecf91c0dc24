#pragma once

#include <iosfwd>

class QLockFile;

namespace velmora {

/// Takes the lock that keeps a second copy from using the same files. A lock whose holder cannot be running (a
/// process gone on this computer, a lock taken on another computer, an empty or unreadable lock file) is taken
/// over, and the reason goes to `log`; a lock its holder still keeps (a running copy here, or one that holds the
/// file's lock on a shared folder) is not. Returns false when another copy holds it; true also when no lock can be
/// made in that folder at all (the program then runs without one).
bool TakeInstanceLock(QLockFile& lock, std::ostream& log);

} // namespace velmora
