// The server of "velmora --type-row N": a client that leaves while its request is handled, and a process that
// runs out of descriptors.
#include "app/RowCommandServer.h"
#include "app/RowCommand.h"

#include "TempFolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <future>
#include <iterator>

namespace velmora {
namespace {

/// "velmora --type-row N" on a thread of its own while this thread serves; its exit code.
int TypeRow(const std::string& path, std::size_t row) {
    auto client = std::async(std::launch::async, [&] { return SendRowRequest(path, row); });
    while (client.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return client.get();
}

/// A connection that has sent nothing yet.
int Connection(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

class RowCommandServerTest : public ::testing::Test {
protected:
    testing::TempFolder tmp;
    const std::string path = tmp.Path("run/velmora.sock");
    std::vector<std::string> requests;
};

TEST_F(RowCommandServerTest, AClientThatLeavesWhileItsRequestIsHandledHarmsNothing) {
    // The first request waits in an event loop (a desktop's permission dialog), long after its client has left.
    TRowCommandServer server(path, [this](const std::string& request) {
        requests.push_back(request);
        QEventLoop dialog;
        QTimer::singleShot(requests.size() == 1 ? 300 : 0, &dialog, &QEventLoop::quit);
        dialog.exec();
        return std::string("ok");
    });
    ASSERT_TRUE(server.Listening()) << server.ErrorText();
    const int leaving = Connection(path);
    ASSERT_EQ(::send(leaving, "type-row 1\n", 11, MSG_NOSIGNAL), 11);
    ::close(leaving);
    while (requests.empty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    EXPECT_EQ(TypeRow(path, 2), 0) << "the server answers the next request";
    EXPECT_EQ(requests, (std::vector<std::string>{"type-row 1", "type-row 2"}));
}

TEST_F(RowCommandServerTest, OutOfDescriptorsTheOldestIdleConnectionsGoAndTheServerKeepsListening) {
    TRowCommandServer server(path, [this](const std::string& request) {
        requests.push_back(request);
        return std::string("ok");
    });
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    rlimit low = old;
    low.rlim_cur = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}) + 40;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    // 30 idle clients, and room for only 10 of the server's ends.
    std::vector<int> idle;
    for (int i = 0; i < 30; ++i) {
        idle.push_back(Connection(path));
    }
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
    }
    for (const int fd : idle) {
        ::close(fd);
    }
    EXPECT_TRUE(std::filesystem::exists(path)) << "the socket stays";
    EXPECT_EQ(TypeRow(path, 3), 0);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(requests, std::vector<std::string>{"type-row 3"});
}

} // namespace
} // namespace velmora
