#pragma once

#include "FileSystem.h"
#include "RowList.h"
#include "UserAnswers.h"
#include "XmlDocument.h"

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace velmora {

inline constexpr const char* kListFileName = "mouses.xml";
inline constexpr const char* kListFileExt = ".xml";
inline constexpr const char* kListFileFilter = "XML File|*.XML";

/// The empty list document: the declaration and an empty `list` element with `versionNo` and `generated`.
std::string ListTemplateText();

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
    /// What SaveAtEnd did with the current list file.
    enum class TEndSave {
        Written,       ///< the rows were written into it
        Unchanged,     ///< nothing to write: the rows are as they were read or last written, or as the file holds
        ChangedOnDisk, ///< not written: another program changed the file since it was read or written here
        NoFile,        ///< not written: there is no current list file, and the rows changed since the start
    };

    TListFile(TRowList& rows, IXmlDocument& document, IFileSystem& fs, IUserAnswers& answers);
    TListFile(const TListFile&) = delete;
    TListFile& operator=(const TListFile&) = delete;

    /// Replaces the rows by the items of a list file: one picked in an open dialog if `ask`, else the default file.
    /// All or nothing: a file that cannot be read, parsed or converted changes neither the rows, the list document
    /// nor the current list file, and the user is warned. At start-up (not `ask`) the default file becomes the
    /// current list file even when missing; an unreadable one is moved aside to "<name>.unreadable[.N]" first, and
    /// if that fails there is no current list file, so that the unreadable file is never written over.
    void LoadList(bool ask);
    /// Copies each row's check state into its item and rebuilds the list document from the rows, then writes it
    /// into a list file: one picked in a save dialog if `ask`, else the current list file (nothing is written when
    /// there is none). True when a file was written. Throws FileError when the file cannot be written; the old file
    /// is then intact.
    bool SaveList(bool ask);
    /// SaveList(false) at the end of a session, which writes only what would otherwise be lost and nothing over
    /// another program's work: rows as they were read or last written (or equal to what the file holds) are not
    /// written; a file that changed on disk since it was read or written here is left as it is (ChangedOnDisk); a
    /// file that is gone is written again. Throws FileError when the file cannot be written.
    TEndSave SaveAtEnd();
    /// Writes the rows as SaveList would into a new file of the state folder, named after the date and time `now`,
    /// for the next start to tell about (the list file could not be written and nobody can be asked). Returns its
    /// path; throws FileError. Rows unchanged since the last such save are not kept twice: its path is returned.
    /// `tellNextStart`: the next start names the file (nobody could be told now).
    std::string SaveRecovery(std::time_t now, bool tellNextStart = true);
    /// Asks for a path if `path` is empty and parses it into the list document; true only if the file was parsed
    /// and every item converts, and only then does it become the current list file (else the user is warned).
    bool OpenListFile(std::string path);
    /// The executable's folder, "/", "mouses.xml".
    std::string DefaultListPath() const;
    /// Asks for a path if `path` is empty, then replaces that file by the list document.
    void WriteListFile(std::string path);
    /// Makes the list document the empty `list` template.
    void ResetListDocument();

    /// The current list file; empty until the first LoadList (and after an unreadable default file stayed put).
    const std::string& FileName() const { return FFileName; }

private:
    /// The items of a list file and their enabled flags, noted while the items were read (a row is made from
    /// both without visiting every item again).
    struct TLoadedItems {
        std::vector<TStrItemPtr> items;
        std::vector<bool> checked;
        std::size_t bytesHash = 0; ///< of the file's bytes
        std::size_t rowsHash = 0;  ///< of the rows the items make (RowsHash)
    };

    /// What was last read from or written into the current list file, or the rows at the start when nothing was.
    struct TDiskState {
        bool existed = false;      ///< the file was read or written: bytesHash applies
        std::size_t bytesHash = 0; ///< of its bytes
        std::size_t rowsHash = 0;  ///< of the rows read or written (RowsHash)
    };

    /// Reads, parses (into the list document) and converts a list file. Throws FileError, XmlError or
    /// ConversionError, and then the list document is as it was.
    TLoadedItems ReadListFile(const std::string& path);
    /// ReadListFile that answers false and the reason instead of throwing.
    bool TryLoad(const std::string& path, TLoadedItems& items, std::string& reason);
    /// Copies each row's check state into its item and puts the list document of the rows as text into `text`
    /// (keeping its memory where it is large enough): the same bytes as the document rebuilt from them would save.
    /// Returns the rows' RowsHash.
    std::size_t ListText(std::string& text);
    /// A hash of the rows' items and check states, in order.
    std::size_t RowsHash() const;
    /// Writes the text into the current list file and remembers it as what the file holds.
    void WriteCurrent(const std::string& text, std::size_t rowsHash);
    /// Makes the list text (ListText) in the list document's memory, calls `use(text, rowsHash)` and gives the memory
    /// back to the document, also when `use` throws; returns what `use` returns.
    template <class TUse>
    auto WithListText(TUse use);
    /// SaveAtEnd's decision and write, once the text is made.
    TEndSave WriteAtEnd(const std::string& text, std::size_t rowsHash);
    /// Replaces every row by one row per item, in one batch.
    void ReplaceRows(TLoadedItems loaded);
    /// Moves an unreadable default file aside and tells the user where it went.
    void SetAsideUnreadable(const std::string& path, const std::string& reason);

    TRowList& FRows;
    IXmlDocument& FXMLDoc;
    IFileSystem& FFs;
    IUserAnswers& FAnswers;
    std::string FFileName;
    TDiskState FDisk;
    std::string FRecoveryPath;     ///< where SaveRecovery last kept the rows
    std::size_t FRecoveryHash = 0; ///< the hash of the text it kept there
};

} // namespace velmora
