// What the program entry sets up besides the window: the server of "velmora --type-row N", and the lock of one copy
// per folder.
#include "app/InstanceLock.h"
#include "app/PrivateSocket.h"
#include "app/RowCommand.h"
#include "app/RowCommandServer.h"

#include "tests/core/TempFolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLockFile>
#include <QSysInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <sstream>

namespace velmora {
namespace {

TEST(RowCommandServer, ClientsThatLeaveMidRequestOrTakeEveryDescriptorDoNotStopIt) {
    const testing::TempFolder tmp;
    const std::string path = tmp.Path("run/velmora.sock");
    std::vector<std::string> requests;
    TRowCommandServer server(path, [&](const std::string& request) {
        requests.push_back(request);
        QEventLoop dialog; // the first request waits for a desktop's permission dialog
        QTimer::singleShot(requests.size() == 1 ? 300 : 0, &dialog, &QEventLoop::quit);
        dialog.exec();
        return std::string("ok");
    });
    const auto connection = [&] {
        sockaddr_un address{AF_UNIX, {}};
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        return fd;
    };
    const auto typeRow = [&](std::size_t row) { // "velmora --type-row N" while this thread serves
        auto client =
            std::async(std::launch::async, [&] { return SendRowRequest(path, RowRequestLine(kTypeRowOption, row)); });
        while (client.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            QCoreApplication::processEvents();
        }
        return client.get();
    };

    const int leaving = connection();
    ASSERT_EQ(::send(leaving, "type-row 1\n", 11, MSG_NOSIGNAL), 11);
    ::close(leaving);
    EXPECT_EQ(typeRow(2), 0); // answered while the first request waits

    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    const rlimit low{std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}) + 40UL, old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> idle(30); // and room for 10 of the server's ends
    std::generate(idle.begin(), idle.end(), connection);
    QCoreApplication::processEvents();
    std::for_each(idle.begin(), idle.end(), ::close);
    EXPECT_TRUE(std::filesystem::exists(path)) << "the socket stays";
    EXPECT_EQ(typeRow(3), 0);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(requests, (std::vector<std::string>{"type-row 1", "type-row 2", "type-row 3"}));
}

TEST(RowCommandServer, ASocketARunningCopyListensOnIsNeverTakenOver) {
    const testing::TempFolder tmp;
    const std::string path = tmp.Path("run/velmora.sock");
    const auto answer = [](const std::string&) { return std::string("ok"); };
    TRowCommandServer running(path, answer);
    EXPECT_FALSE(TRowCommandServer(path, answer).Listening()) << "it took the running copy's socket";
    EXPECT_TRUE(SomeoneListens(path));
}

TEST(InstanceLock, ALockWhoseHolderCannotBeRunningIsTakenOverAndAHeldOneIsNot) {
    const testing::TempFolder tmp;
    const QString path = QString::fromStdString(tmp.Path("velmora.lock"));
    const std::string dead = "2147483647\nvelmora\n" + QSysInfo::machineHostName().toStdString() + "\n";
    const std::string elsewhere = "1\nvelmora\nanother-host\n";
    for (const std::string& left : {std::string(), std::string("\n\x01garbled"), dead, elsewhere}) {
        tmp.Write("velmora.lock", left);
        QLockFile lock(path);
        std::ostringstream log;
        EXPECT_TRUE(TakeInstanceLock(lock, log)) << left;
        EXPECT_NE(log.str().find("took over"), std::string::npos) << left;
    }
    // A running copy; also when its lock names another computer but it keeps the file locked (a shared folder).
    QLockFile running(path);
    ASSERT_TRUE(running.tryLock(0));
    QLockFile second(path);
    std::ostringstream log;
    EXPECT_FALSE(TakeInstanceLock(second, log));
    tmp.Write("velmora.lock", elsewhere);
    EXPECT_FALSE(TakeInstanceLock(second, log));
    EXPECT_EQ(log.str(), "");
}

} // namespace
} // namespace velmora
