#include "InstanceLock.h"

#include <QLockFile>
#include <QString>
#include <QSysInfo>

#include <ostream>
#include <string>

namespace velmora {

bool TakeInstanceLock(QLockFile& lock, std::ostream& log) {
    // No age makes a lock stale: Velmora runs for days. A holder that is gone from this computer is seen as such.
    lock.setStaleLockTime(0);
    const std::string name = lock.fileName().toStdString();
    qint64 pid = 0;
    QString host;
    QString program;
    const bool left = lock.getLockInfo(&pid, &host, &program);
    if (lock.tryLock(0)) {
        if (left) {
            log << "velmora: took over " << name << ": process " << pid << " that held it is no longer running."
                << std::endl;
        }
        return true;
    }
    if (lock.error() != QLockFile::LockFailedError) {
        return true;
    }
    std::string reason;
    if (!lock.getLockInfo(&pid, &host, &program)) {
        reason = "the lock file is empty or unreadable";
    } else if (!host.isEmpty() && host != QSysInfo::machineHostName()) {
        reason = "it was taken on another computer (" + host.toStdString() + ", process " + std::to_string(pid) + ")";
    } else {
        return false;
    }
    // One copy takes a stale lock over at a time; a lock file its holder still keeps locked is not removed.
    QLockFile takeOver(lock.fileName() + ".rmlock");
    if (!takeOver.tryLock(0) || !lock.removeStaleLockFile() || !lock.tryLock(0)) {
        return false;
    }
    log << "velmora: took over " << name << ": " << reason << "." << std::endl;
    return true;
}

} // namespace velmora
