#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace velmora::hardening {

/// Failures collected in a child process, where the test framework's assertions do not reach the test.
class TChecks {
public:
    /// Records `what` as a failure unless `ok`.
    bool Expect(bool ok, const std::string& what) {
        if (!ok) {
            FFailures.push_back(what);
        }
        return ok;
    }
    /// Prints the failures to standard error; 0 when there were none, else 1 (the child's exit status).
    int Status() const {
        for (const auto& failure : FFailures) {
            std::fprintf(stderr, "FAILED: %s\n", failure.c_str());
        }
        return FFailures.empty() ? 0 : 1;
    }

private:
    std::vector<std::string> FFailures;
};

/// Whether `text` holds `part`.
inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace velmora::hardening
