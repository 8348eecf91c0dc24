#pragma once

#include <grp.h>
#include <unistd.h>

namespace velmora::testing {

/// The user "nobody", which owns no file of the tests.
inline constexpr uid_t kNobody = 65534;

/// In a child process of a test: as root, which may write anything, becomes the ordinary user "nobody" for good, so
/// that permissions count as they do for a user. False when that fails.
inline bool BecomeOrdinaryUser() {
    if (::geteuid() != 0) {
        return true;
    }
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
           ::setresuid(kNobody, kNobody, kNobody) == 0;
}

} // namespace velmora::testing
