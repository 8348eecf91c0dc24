// One copy per folder: a lock whose holder cannot be running is taken over, a held one is not.
#include "app/InstanceLock.h"

#include "TempFolder.h"

#include <QLockFile>
#include <QString>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace velmora {
namespace {

TEST(InstanceLock, ALockWhoseHolderCannotBeRunningIsTakenOverAndAHeldOneIsNot) {
    const testing::TempFolder tmp;
    const QString path = QString::fromStdString(tmp.Path("velmora.lock"));
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    const std::string here = QSysInfo::machineHostName().toStdString();
    const std::string dead = std::to_string(gone) + "\nvelmora\n" + here + "\n";
    for (const std::string& left : {std::string(), std::string("\n\x01garbled"), dead, std::string("1\nv\nstick\n")}) {
        tmp.Write("velmora.lock", left);
        QLockFile lock(path);
        std::ostringstream log;
        EXPECT_TRUE(TakeInstanceLock(lock, log)) << left;
        EXPECT_TRUE(lock.isLocked()) << left;
        EXPECT_NE(log.str().find("took over"), std::string::npos) << left;
    }

    QLockFile running(path);
    ASSERT_TRUE(running.tryLock(0));
    // Also when the holder's file names another computer: it still holds the file's lock (a shared folder).
    for (const bool otherHost : {false, true}) {
        if (otherHost) {
            std::ofstream(tmp.Path("velmora.lock")) << "1\nvelmora\nother-host\n";
        }
        QLockFile second(path);
        std::ostringstream log;
        EXPECT_FALSE(TakeInstanceLock(second, log)) << otherHost;
        EXPECT_EQ(log.str(), "");
    }
}

} // namespace
} // namespace velmora
