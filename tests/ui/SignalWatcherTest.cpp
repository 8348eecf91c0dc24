#include "ui/SignalWatcher.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

namespace velmora {
namespace {

TEST(SignalWatcher, ATerminationSignalArrivesAsAQtSignalAndTheDefaultComesBack) {
    {
        TSignalWatcher watcher({SIGHUP, SIGTERM});
        QSignalSpy received(&watcher, &TSignalWatcher::Received);
        ASSERT_EQ(::raise(SIGTERM), 0); // would end the test program without the watcher
        ASSERT_TRUE(received.wait(2000));
        ASSERT_EQ(received.count(), 1);
        EXPECT_EQ(received[0][0].toInt(), SIGTERM);
    }
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
} // namespace velmora
