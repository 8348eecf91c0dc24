#include "ThreadWork.h"

#include "PlatformError.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <future>
#include <string>

namespace velmora {

TThreadWork::TThreadWork() : FWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (FWake.Get() < 0) {
        throw PlatformError("Cannot make a thread's wake-up descriptor: " + std::string(std::strerror(errno)) + ".");
    }
}

void TThreadWork::Run(const std::function<void()>& work) {
    std::promise<void> done;
    {
        std::scoped_lock lock(FMutex);
        FWork.emplace_back([&work, &done] {
            work();
            done.set_value();
        });
    }
    Wake();
    done.get_future().wait();
}

void TThreadWork::Stop() {
    {
        std::scoped_lock lock(FMutex);
        FStop = true;
    }
    Wake();
}

bool TThreadWork::Take(std::vector<std::function<void()>>& work) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(FWake.Get(), &count, sizeof count);
    std::scoped_lock lock(FMutex);
    work.clear();
    if (FStop) {
        return false;
    }
    work.swap(FWork);
    return true;
}

void TThreadWork::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t wrote = ::write(FWake.Get(), &one, sizeof one);
}

} // namespace velmora
