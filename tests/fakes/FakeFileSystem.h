#pragma once

#include "core/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::testing {

/// An in-memory file system. Files live in a map; folders are implied by the paths. It can be told to fail reads
/// of a file, replaces (at once, or after some bytes of the temporary file were written) and renames, and it
/// records every call that changes or reads a file.
class FakeFileSystem final : public IFileSystem {
public:
    /// One recorded call: the operation ("exists", "read", "replace", "rename", "create", "delete"), its path(s)
    /// and, for a replace or a create, the bytes offered.
    struct Call {
        std::string op;
        std::string path;
        std::string to;
        std::string bytes;
        bool failed = false;
    };

    explicit FakeFileSystem(std::string executableDir = "/opt/velmora") : FExecutableDir(std::move(executableDir)) {}

    /// The state folder StateDir answers.
    static constexpr const char* kStateDir = "/home/user/.local/state/velmora";

    // --- Set-up and inspection -------------------------------------------------------------------------------

    /// Creates or overwrites a file directly (not recorded).
    void SetFile(const std::string& path, std::string bytes) { FFiles[path] = std::move(bytes); }
    /// Makes a path a folder: FileExists answers false, reads and replaces fail with EISDIR.
    void AddFolder(const std::string& path) { FFolders.insert(path); }
    /// Removes a file directly (not recorded).
    void RemoveFile(const std::string& path) { FFiles.erase(path); }
    /// The file's bytes, or none.
    std::optional<std::string> File(const std::string& path) const {
        const auto it = FFiles.find(path);
        return it == FFiles.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    /// Every file, by path.
    const std::map<std::string, std::string>& Files() const { return FFiles; }
    /// Every recorded call, oldest first.
    const std::vector<Call>& Calls() const { return FCalls; }
    /// The recorded calls of one operation.
    std::vector<Call> CallsOf(std::string_view op) const {
        std::vector<Call> result;
        for (const auto& call : FCalls) {
            if (call.op == op) {
                result.push_back(call);
            }
        }
        return result;
    }
    /// Forgets the recorded calls.
    void ClearCalls() { FCalls.clear(); }

    /// Reads of this file fail with `error` (EACCES, EIO...).
    void FailReadsOf(const std::string& path, int error = EIO) { FReadErrors[path] = error; }
    /// The next replaces fail with `error` once `afterBytes` bytes of the temporary file are written (0: at once).
    /// `times` counts the failing replaces; a negative value fails every one from now on.
    void FailReplaces(int error = ENOSPC, std::size_t afterBytes = 0, int times = -1) {
        FReplaceError = error;
        FReplaceFailAfter = afterBytes;
        FReplaceFailures = times;
    }
    /// Renames fail with `error` from now on (0 stops failing).
    void FailRenames(int error = EACCES) { FRenameError = error; }
    /// Nothing can be created in this folder or below it, and IsWritableFolder answers false for them.
    void MakeReadOnly(const std::string& folder) { FReadOnlyFolders.insert(folder); }
    /// Makes `path` a symbolic link to `target` (an absolute path, not below another link) for ResolvedPath.
    void AddLink(const std::string& path, const std::string& target) { FLinks[path] = target; }
    /// The folders CreateFolders made, with their mode.
    const std::map<std::string, unsigned>& CreatedFolders() const { return FCreatedFolders; }
    /// The bytes the last failing replace had written into its temporary file before it failed.
    const std::string& LastPartialWrite() const { return FLastPartial; }

    // --- IFileSystem -------------------------------------------------------------------------------------------

    bool FileExists(const std::string& path) const override {
        Record({"exists", path, {}, {}, false});
        return FFiles.count(path) != 0;
    }

    std::string ReadFile(const std::string& path) const override {
        int error = 0;
        if (FFolders.count(path) != 0) {
            error = EISDIR;
        } else if (const auto it = FReadErrors.find(path); it != FReadErrors.end()) {
            error = it->second;
        } else if (FFiles.count(path) == 0) {
            error = ENOENT;
        }
        Record({"read", path, {}, {}, error != 0});
        if (error != 0) {
            throw FileError("Cannot read \"" + path + "\": " + std::strerror(error));
        }
        return FFiles.at(path);
    }

    void ReplaceFile(const std::string& path, std::string_view bytes) override {
        Call call{"replace", path, {}, std::string(bytes), false};
        int error = 0;
        if (FFolders.count(path) != 0) {
            error = EISDIR;
        } else if (FReplaceError != 0 && FReplaceFailures != 0) {
            error = FReplaceError;
            if (FReplaceFailures > 0) {
                --FReplaceFailures;
            }
        }
        if (error != 0) {
            // The temporary file received some bytes, then was removed; the target was never touched.
            FLastPartial = std::string(bytes.substr(0, std::min(FReplaceFailAfter, bytes.size())));
            call.failed = true;
            FCalls.push_back(std::move(call));
            throw FileError("Cannot write \"" + path + "\": " + std::strerror(error));
        }
        FFiles[path] = std::string(bytes);
        FCalls.push_back(std::move(call));
    }

    void RenameFile(const std::string& from, const std::string& to) override {
        int error = FRenameError;
        if (error == 0 && FFiles.count(from) == 0) {
            error = ENOENT;
        }
        if (error == 0 && (FFiles.count(to) != 0 || FFolders.count(to) != 0)) {
            error = EEXIST;
        }
        FCalls.push_back({"rename", from, to, {}, error != 0});
        if (error != 0) {
            throw FileError("Cannot rename \"" + from + "\" to \"" + to + "\": " + std::strerror(error));
        }
        FFiles[to] = std::move(FFiles[from]);
        FFiles.erase(from);
    }

    bool CreateNewFile(const std::string& path, std::string_view bytes) override {
        const bool taken = FFiles.count(path) != 0 || FFolders.count(path) != 0;
        FCalls.push_back({"create", path, {}, std::string(bytes), taken});
        if (!taken) {
            FFiles[path] = std::string(bytes);
        }
        return !taken;
    }

    void DeleteFile(const std::string& path) override {
        FCalls.push_back({"delete", path, {}, {}, false});
        FFiles.erase(path);
    }

    std::string ExecutableDir() const override { return FExecutableDir; }
    std::string StateDir() const override { return kStateDir; }

    bool IsWritableFolder(const std::string& path) const override { return !InReadOnlyFolder(path); }

    void CreateFolders(const std::string& path, unsigned mode) override {
        if (FFolders.count(path) != 0) {
            return;
        }
        if (InReadOnlyFolder(path)) {
            throw FileError("Cannot create the folder \"" + path + "\": " + std::strerror(EACCES));
        }
        FFolders.insert(path);
        FCreatedFolders[path] = mode;
    }

    std::string ResolvedPath(const std::string& path) const override {
        for (const auto& [link, target] : FLinks) { // links lead to no other link here
            if (path == link || path.starts_with(link + "/")) {
                return target + path.substr(link.size());
            }
        }
        return path;
    }

private:
    void Record(Call call) const { FCalls.push_back(std::move(call)); }
    bool InReadOnlyFolder(const std::string& path) const {
        for (const auto& folder : FReadOnlyFolders) {
            if (path == folder || path.rfind(folder + "/", 0) == 0) {
                return true;
            }
        }
        return false;
    }

    std::string FExecutableDir;
    std::map<std::string, std::string> FFiles;
    std::set<std::string> FFolders;
    std::set<std::string> FReadOnlyFolders;
    std::map<std::string, unsigned> FCreatedFolders;
    std::map<std::string, std::string> FLinks;
    std::map<std::string, int> FReadErrors;
    int FReplaceError = 0;
    std::size_t FReplaceFailAfter = 0;
    int FReplaceFailures = 0;
    int FRenameError = 0;
    std::string FLastPartial;
    mutable std::vector<Call> FCalls;
};

} // namespace velmora::testing
