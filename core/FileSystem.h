#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

/// A file that could not be read or written; the message names the file and the reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The file system as the list and settings files see it.
class IFileSystem {
public:
    IFileSystem() = default;
    IFileSystem(const IFileSystem&) = delete;
    IFileSystem& operator=(const IFileSystem&) = delete;
    virtual ~IFileSystem() = default;

    /// Whether a file (not a folder) of this name exists.
    virtual bool FileExists(const std::string& path) const = 0;
    /// The file's whole content; throws FileError.
    virtual std::string ReadFile(const std::string& path) const = 0;
    /// Replaces the file by these bytes: written to a temporary file in the same folder, flushed, synced and
    /// renamed over the old one. Throws FileError; the old file is then left exactly as it was.
    virtual void ReplaceFile(const std::string& path, std::string_view bytes) = 0;
    /// Renames a file; throws FileError.
    virtual void RenameFile(const std::string& from, const std::string& to) = 0;
    /// The folder of the running executable, without a trailing separator.
    virtual std::string ExecutableDir() const = 0;
};

} // namespace velmora
