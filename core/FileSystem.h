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
    /// renamed over the old one. An existing file the user may not write (read-only) is refused as a plain write
    /// would refuse it. Throws FileError; the old file is then left exactly as it was.
    virtual void ReplaceFile(const std::string& path, std::string_view bytes) = 0;
    /// Renames a file; throws FileError.
    virtual void RenameFile(const std::string& from, const std::string& to) = 0;
    /// Creates a new file holding these bytes (synced), and the missing folders above it (mode 0700). False when a
    /// file of that name exists already, which is left as it is. Throws FileError.
    virtual bool CreateNewFile(const std::string& path, std::string_view bytes) = 0;
    /// Deletes a file; a file that is not there is no error. Throws FileError.
    virtual void DeleteFile(const std::string& path) = 0;
    /// The folder of the running executable, without a trailing separator.
    virtual std::string ExecutableDir() const = 0;
    /// The folder for what the program keeps for the user beside the list (a list saved when its file could not be
    /// written at the end of a session), without a trailing separator. It may not exist yet.
    virtual std::string StateDir() const = 0;
    /// Whether this process may create and replace files in the folder (false when it is no folder).
    virtual bool IsWritableFolder(const std::string& path) const = 0;
    /// Creates the folder, and any missing folder above it, with this mode; an existing folder is left as it is.
    /// Throws FileError.
    virtual void CreateFolders(const std::string& path, unsigned mode) = 0;
    /// The absolute path with every symbolic link, "." and ".." resolved; the path as given when it cannot be
    /// resolved (it does not exist).
    virtual std::string ResolvedPath(const std::string& path) const = 0;
};

} // namespace velmora
