#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace velmora::hardening {

/// Exit status of a child that could not set up what its test needs (a namespace, a mount, another user).
inline constexpr int kCannotSetUp = 77;

/// How a child ended: its exit status, or the signal that ended it.
struct TChildEnd {
    int exitStatus = -1;
    int signal = 0;
};

inline TChildEnd WaitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
    }
    if (WIFSIGNALED(status)) {
        return {-1, WTERMSIG(status)};
    }
    return {WEXITSTATUS(status), 0};
}

/// Runs `body` in a forked child and returns how the child ended: body's result as the exit status, 1 when it
/// threw. The child shares nothing with the test afterwards, so it may change its user or its mounts.
inline TChildEnd RunInChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        int status = 1;
        try {
            status = body();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "child: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "child: unknown exception\n");
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    return WaitForChild(pid);
}

/// A program started with its standard output on a pipe; killed (SIGKILL) and reaped when destroyed.
class TSpawned {
public:
    explicit TSpawned(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const auto& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        const int error = ::posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        FOut = fds[0];
        if (error != 0) {
            ::close(FOut);
            throw std::runtime_error("cannot start " + argv[0]);
        }
    }
    ~TSpawned() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            WaitForChild(FPid);
        }
        ::close(FOut);
    }
    TSpawned(const TSpawned&) = delete;
    TSpawned& operator=(const TSpawned&) = delete;

    /// The next line of its output (without the line break), or empty when none came within `timeout`.
    std::string ReadLine(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto end = FBuffer.find('\n'); end != std::string::npos) {
                std::string line = FBuffer.substr(0, end);
                FBuffer.erase(0, end + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd fd{FOut, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char chunk[256];
            const ssize_t got = ::read(FOut, chunk, sizeof chunk);
            if (got <= 0) {
                return {};
            }
            FBuffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

    /// Kills it with `signal` and waits for its end.
    TChildEnd Kill(int signal) {
        ::kill(FPid, signal);
        const TChildEnd end = WaitForChild(FPid);
        FPid = -1;
        return end;
    }

private:
    pid_t FPid = -1;
    int FOut = -1;
    std::string FBuffer;
};

} // namespace velmora::hardening
