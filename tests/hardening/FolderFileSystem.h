#pragma once

#include "core/PosixFileSystem.h"

#include <string>
#include <string_view>
#include <utility>

namespace velmora::hardening {

/// The real file system, with the program's folder (where the list and the settings file live) moved to a folder
/// of the test's choosing.
class TFolderFileSystem final : public IFileSystem {
public:
    explicit TFolderFileSystem(std::string folder) : FFolder(std::move(folder)) {}

    bool FileExists(const std::string& path) const override { return FReal.FileExists(path); }
    std::string ReadFile(const std::string& path) const override { return FReal.ReadFile(path); }
    void ReplaceFile(const std::string& path, std::string_view bytes) override { FReal.ReplaceFile(path, bytes); }
    void RenameFile(const std::string& from, const std::string& to) override { FReal.RenameFile(from, to); }
    std::string ExecutableDir() const override { return FFolder; }

private:
    TPosixFileSystem FReal;
    std::string FFolder;
};

} // namespace velmora::hardening
