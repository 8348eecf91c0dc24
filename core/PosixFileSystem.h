#pragma once

#include "FileSystem.h"

#include <string>
#include <utility>

namespace velmora {

/// The real file system. ReplaceFile writes a temporary file beside the target (mode and owner of the old file, or
/// 0600), fsyncs it, renames it over the target and fsyncs the folder; a symbolic link is followed and kept.
/// RenameFile never replaces an existing file (it throws FileError instead). The state folder is
/// $XDG_STATE_HOME/velmora (an absolute XDG_STATE_HOME only), else ~/.local/state/velmora.
class TPosixFileSystem final : public IFileSystem {
public:
    /// The program's files live beside the running executable.
    TPosixFileSystem() = default;
    /// The program's files live in `programFolder` instead (tests and benchmarks run in a folder of their own).
    explicit TPosixFileSystem(std::string programFolder) : FProgramFolder(std::move(programFolder)) {}

    bool FileExists(const std::string& path) const override;
    std::string ReadFile(const std::string& path) const override;
    void ReplaceFile(const std::string& path, std::string_view bytes) override;
    void RenameFile(const std::string& from, const std::string& to) override;
    bool CreateNewFile(const std::string& path, std::string_view bytes) override;
    void DeleteFile(const std::string& path) override;
    std::string ExecutableDir() const override;
    std::string StateDir() const override;
    bool IsWritableFolder(const std::string& path) const override;
    void CreateFolders(const std::string& path, unsigned mode) override;
    std::string ResolvedPath(const std::string& path) const override;

private:
    std::string FProgramFolder;
};

} // namespace velmora
