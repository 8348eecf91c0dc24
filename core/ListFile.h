#pragma once

#include "FileSystem.h"
#include "RowList.h"
#include "UserAnswers.h"
#include "XmlDocument.h"

#include <string>

namespace velmora {

inline constexpr const char* kListFileName = "mouses.xml";
inline constexpr const char* kListFileExt = ".xml";
inline constexpr const char* kListFileFilter = "XML File|*.XML";

/// Open dialog plus existence check: the chosen existing file, or empty (cancelled, or the file does not exist,
/// in which case the user was told "The file does not exist.").
std::string SelectOpenFile(IUserAnswers& answers, const IFileSystem& fs, const std::string& extension,
                           const std::string& filter, const std::string& initialName);

/// Save dialog plus overwrite question: the chosen file, or empty (cancelled, or No to the overwrite question).
/// The chosen file is not touched here; the write that follows replaces it.
std::string SelectSaveFile(IUserAnswers& answers, const IFileSystem& fs, const std::string& extension,
                           const std::string& filter, const std::string& initialName);

/// Moves the list between list files and the rows: the current list file, the list document, and the procedures
/// the controller runs for start-up, Load, Save and shutdown.
class TListFile {
public:
    TListFile(TRowList& rows, IXmlDocument& document, IFileSystem& fs, IUserAnswers& answers);
    TListFile(const TListFile&) = delete;
    TListFile& operator=(const TListFile&) = delete;

    /// Replaces the rows by the items of a list file: one picked in an open dialog if `ask`, else the default file.
    /// A file that cannot be read changes nothing and the user is warned.
    void LoadList(bool ask);
    /// Writes the rows into a list file: one picked in a save dialog if `ask`, else the current list file.
    /// Throws FileError when the file cannot be written; the old file is then intact.
    void SaveList(bool ask);
    /// Asks for a path if `path` is empty and parses it into the list document; true only if a file was parsed,
    /// and only then does it become the current list file.
    bool OpenListFile(std::string path);
    /// The executable's folder, "/", "mouses.xml".
    std::string DefaultListPath() const;
    /// Asks for a path if `path` is empty, then replaces that file by the list document.
    void WriteListFile(std::string path);
    /// Makes the list document the empty `list` template.
    void ResetListDocument();

    /// The current list file; empty until the first LoadList.
    const std::string& FileName() const { return FFileName; }

private:
    TRowList& FRows;
    IXmlDocument& FXMLDoc;
    IFileSystem& FFs;
    IUserAnswers& FAnswers;
    std::string FFileName;
};

} // namespace velmora
