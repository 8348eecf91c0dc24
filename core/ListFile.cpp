#include "ListFile.h"

#include "Conversion.h"
#include "Producer.h"
#include "Recovery.h"
#include "StrItem.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {
namespace {

constexpr const char* kFileMissingText = "The file does not exist.";
constexpr const char* kOverwriteText = "A file with the same name already exists,overwrite?";
constexpr const char* kUnreadableSuffix = ".unreadable";
constexpr int kMaxAsideNames = 1000;
// A name taken by something that is not a file (a folder) fails the rename; a few failures mean the folder refuses.
constexpr int kMaxRenameFailures = 3;

std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

// Whether text may stand in an attribute value as it is: nothing the serialiser would escape.
constexpr bool NeedsNoEscaping(const char* text) {
    for (; *text != '\0'; ++text) {
        const auto c = static_cast<unsigned char>(*text);
        if (c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"') {
            return false;
        }
    }
    return true;
}
static_assert(NeedsNoEscaping(kProducerText), "the list text is written without escaping");

constexpr std::string_view kListClose = "</list>";

std::size_t Combine(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// What a row adds to RowsHash: everything of it that the list file holds.
std::size_t RowHash(std::size_t seed, const TStrItem& item, bool checked) {
    seed = Combine(seed, std::hash<std::string_view>{}(item.FStr));
    seed = Combine(seed, std::hash<std::string_view>{}(item.FStoredStr));
    seed = Combine(seed, item.FHKCtrl);
    seed = Combine(seed, static_cast<std::uint32_t>(item.FHKChar));
    return Combine(seed, checked ? 1 : 2);
}

std::size_t BytesHash(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
}

// The declaration and the `list` start tag, without its closing ">".
std::string ListOpenTag() {
    return std::string(R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?><list versionNo="1.0" generated=")") +
           kProducerText + "\"";
}

} // namespace

std::string ListTemplateText() {
    return ListOpenTag() + "/>";
}

std::string SelectOpenFile(IUserAnswers& answers, const IFileSystem& fs, const std::string& extension,
                           const std::string& filter, const std::string& initialName) {
    std::string path = answers.PickOpenFile(extension, filter, initialName);
    if (path.empty()) {
        return {};
    }
    if (!fs.FileExists(path)) {
        answers.Notice(kFileMissingText);
        return {};
    }
    return path;
}

std::string SelectSaveFile(IUserAnswers& answers, const IFileSystem& fs, const std::string& extension,
                           const std::string& filter, const std::string& initialName) {
    std::string path = answers.PickSaveFile(extension, filter, initialName);
    if (path.empty()) {
        return {};
    }
    if (fs.FileExists(path) && !answers.AskYesNo(kOverwriteText)) {
        return {};
    }
    return path;
}

TListFile::TListFile(TRowList& rows, IXmlDocument& document, IFileSystem& fs, IUserAnswers& answers)
    : FRows(rows), FXMLDoc(document), FFs(fs), FAnswers(answers) {}

TListFile::TLoadedItems TListFile::ReadListFile(const std::string& path) {
    // Parsed and converted beside the list document, which takes the result only when all of it succeeded.
    const std::unique_ptr<IXmlDocument> fresh = CreateXmlDocument();
    std::string bytes = FFs.ReadFile(path);
    TLoadedItems loaded;
    loaded.bytesHash = BytesHash(bytes);
    fresh->LoadOwnedText(std::move(bytes));
    IXmlNode& root = fresh->Root();
    const std::size_t count = root.ChildCount();
    loaded.items.reserve(count);
    loaded.checked.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        try {
            loaded.items.push_back(TStrItem::LoadStrItem(root.Child(i)));
        } catch (const ConversionError& error) {
            throw ConversionError("item " + std::to_string(i + 1) + ": " + error.what());
        }
        loaded.checked.push_back(loaded.items.back()->FChecked);
        loaded.rowsHash = RowHash(loaded.rowsHash, *loaded.items.back(), loaded.checked.back());
    }
    FXMLDoc.Swap(*fresh);
    return loaded;
}

void TListFile::ReplaceRows(TLoadedItems loaded) {
    TRowBatch batch(FRows);
    FRows.Clear();
    FRows.Reserve(loaded.items.size());
    for (std::size_t i = 0; i < loaded.items.size(); ++i) {
        FRows.Append(std::move(loaded.items[i]), loaded.checked[i]);
    }
}

bool TListFile::TryLoad(const std::string& path, TLoadedItems& items, std::string& reason) {
    try {
        items = ReadListFile(path);
        return true;
    } catch (const FileError& error) {
        reason = error.what();
    } catch (const XmlError& error) {
        reason = error.what();
    } catch (const ConversionError& error) {
        reason = error.what();
    }
    return false;
}

void TListFile::LoadList(bool ask) {
    if (ask) {
        const std::string path = SelectOpenFile(FAnswers, FFs, kListFileExt, kListFileFilter, {});
        if (path.empty()) {
            return;
        }
        TLoadedItems items;
        std::string reason;
        if (!TryLoad(path, items, reason)) {
            FAnswers.Warn("The list file " + Quote(path) + " could not be loaded: " + reason +
                          "\nThe list was not changed.");
            return;
        }
        FFileName = path;
        FDisk = {true, items.bytesHash, items.rowsHash};
        ReplaceRows(std::move(items));
        return;
    }

    const std::string path = DefaultListPath();
    // Until a file is read or written, the rows as they are now are the ones nobody needs kept.
    FDisk = {false, 0, RowsHash()};
    if (!FFs.FileExists(path)) {
        FFileName = path; // the first save creates it
        return;
    }
    TLoadedItems items;
    std::string reason;
    if (TryLoad(path, items, reason)) {
        FFileName = path;
        FDisk = {true, items.bytesHash, items.rowsHash};
        ReplaceRows(std::move(items));
        return;
    }
    SetAsideUnreadable(path, reason);
}

void TListFile::SetAsideUnreadable(const std::string& path, const std::string& reason) {
    std::string renameFailure;
    int failures = 0;
    for (int n = 0; n < kMaxAsideNames && failures < kMaxRenameFailures; ++n) {
        std::string aside = path + kUnreadableSuffix;
        if (n > 0) {
            aside += "." + std::to_string(n);
        }
        if (FFs.FileExists(aside)) {
            continue;
        }
        try {
            FFs.RenameFile(path, aside);
        } catch (const FileError& error) {
            renameFailure = error.what();
            ++failures;
            continue;
        }
        FFileName = path;
        FAnswers.Warn("The list file " + Quote(path) + " could not be read: " + reason + "\nIt was moved to " +
                      Quote(aside) + " and the list starts empty.");
        return;
    }
    if (renameFailure.empty()) {
        renameFailure = "every name for it beside the file is taken";
    }
    // Without a current list file nothing is written into it at exit, so the unreadable file stays as it is; what
    // the user adds meanwhile is kept in the state folder (SaveAtEnd answers NoFile).
    FFileName.clear();
    FAnswers.Warn("The list file " + Quote(path) + " could not be read: " + reason +
                  "\nIt could not be moved aside either (" + renameFailure +
                  "), so it is left as it is and the list will not be saved into it. Use Save to keep the list "
                  "in another file; at the end Velmora keeps it in its state folder.");
}

template <class TUse>
auto TListFile::WithListText(TUse use) {
    // The memory of the old document's text, already in use, takes the new text.
    std::string text = FXMLDoc.TakeStorage();
    ResetListDocument();
    const std::size_t rowsHash = ListText(text);
    try {
        auto result = use(std::as_const(text), rowsHash);
        // The document is parsed from this text only when it is next asked for.
        FXMLDoc.LoadTextLater(std::move(text));
        return result;
    } catch (...) {
        FXMLDoc.LoadTextLater(std::move(text));
        throw;
    }
}

bool TListFile::SaveList(bool ask) {
    return WithListText([this, ask](const std::string& text, std::size_t rowsHash) {
        const std::string path = ask ? SelectSaveFile(FAnswers, FFs, kListFileExt, kListFileFilter, {}) : FFileName;
        if (path.empty()) {
            return false;
        }
        FFs.ReplaceFile(path, text);
        if (path == FFileName) {
            FDisk = {true, BytesHash(text), rowsHash};
        } else if (FFileName.empty()) {
            FDisk.rowsHash = rowsHash; // kept in the file chosen: nothing more to keep at the end
        }
        return true;
    });
}

TListFile::TEndSave TListFile::SaveAtEnd() {
    return WithListText([this](const std::string& text, std::size_t rowsHash) { return WriteAtEnd(text, rowsHash); });
}

TListFile::TEndSave TListFile::WriteAtEnd(const std::string& text, std::size_t rowsHash) {
    if (FFileName.empty()) {
        return rowsHash == FDisk.rowsHash ? TEndSave::Unchanged : TEndSave::NoFile;
    }
    if (!FFs.FileExists(FFileName)) {
        // Missing from the start, or removed since: nothing of anybody's is in the way.
        WriteCurrent(text, rowsHash);
        return TEndSave::Written;
    }
    if (rowsHash == FDisk.rowsHash) {
        return TEndSave::Unchanged; // nothing of this session's to keep; what another program wrote stays
    }
    std::string disk;
    try {
        disk = FFs.ReadFile(FFileName);
    } catch (const FileError&) {
        // It cannot be read to be compared (write-only): written as it always was.
        WriteCurrent(text, rowsHash);
        return TEndSave::Written;
    }
    if (disk == text) {
        FDisk = {true, BytesHash(text), rowsHash};
        return TEndSave::Unchanged;
    }
    if (!FDisk.existed || BytesHash(disk) != FDisk.bytesHash) {
        return TEndSave::ChangedOnDisk;
    }
    WriteCurrent(text, rowsHash);
    return TEndSave::Written;
}

void TListFile::WriteCurrent(const std::string& text, std::size_t rowsHash) {
    FFs.ReplaceFile(FFileName, text);
    FDisk = {true, BytesHash(text), rowsHash};
}

std::string TListFile::SaveRecovery(std::time_t now, bool tellNextStart) {
    std::string text;
    ListText(text);
    const std::size_t hash = BytesHash(text);
    if (FRecoveryPath.empty() || hash != FRecoveryHash) {
        FRecoveryPath = SaveRecoveryFile(FFs, text, now, tellNextStart);
        FRecoveryHash = hash;
    }
    return FRecoveryPath;
}

std::size_t TListFile::RowsHash() const {
    std::size_t hash = 0;
    for (auto row = FRows.First(); row; row = FRows.Next(*row)) {
        hash = RowHash(hash, *FRows.Item(*row), FRows.Checked(*row));
    }
    return hash;
}

std::size_t TListFile::ListText(std::string& text) {
    text.assign(std::string_view(ListOpenTag())); // copied into the memory text already has
    if (!FRows.First()) {
        text += "/>";
        return 0;
    }
    std::size_t size = text.size() + 1 + kListClose.size();
    std::size_t rowsHash = 0;
    for (auto row = FRows.First(); row; row = FRows.Next(*row)) {
        const TStrItemPtr& item = FRows.Item(*row);
        item->FChecked = FRows.Checked(*row);
        size += item->ItemXmlSize();
        rowsHash = RowHash(rowsHash, *item, item->FChecked);
    }
    const std::size_t start = text.size();
    text.reserve(size + 1); // room for the end mark the document adds when it parses the text in place
    text.resize(size);
    char* out = text.data() + start;
    *out++ = '>';
    for (auto row = FRows.First(); row; row = FRows.Next(*row)) {
        out = FRows.Item(*row)->WriteItemXml(out);
    }
    if (out + kListClose.size() != text.data() + text.size()) {
        throw std::logic_error("The list text does not fill the room counted for it");
    }
    std::memcpy(out, kListClose.data(), kListClose.size());
    return rowsHash;
}

bool TListFile::OpenListFile(std::string path) {
    if (path.empty()) {
        path = SelectOpenFile(FAnswers, FFs, kListFileExt, kListFileFilter, {});
    }
    if (path.empty() || !FFs.FileExists(path)) {
        return false;
    }
    TLoadedItems items;
    std::string reason;
    if (!TryLoad(path, items, reason)) {
        FAnswers.Warn("The list file " + Quote(path) + " could not be loaded: " + reason);
        return false;
    }
    FFileName = path;
    FDisk = {true, items.bytesHash, items.rowsHash};
    return true;
}

std::string TListFile::DefaultListPath() const {
    return FFs.ExecutableDir() + "/" + kListFileName;
}

void TListFile::WriteListFile(std::string path) {
    if (path.empty()) {
        path = SelectSaveFile(FAnswers, FFs, kListFileExt, kListFileFilter, {});
    }
    if (path.empty()) {
        return;
    }
    FFs.ReplaceFile(path, FXMLDoc.SaveText());
}

void TListFile::ResetListDocument() {
    FXMLDoc.LoadText(ListTemplateText());
}

} // namespace velmora
