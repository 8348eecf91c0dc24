#include "ListFile.h"

#include "Conversion.h"
#include "Producer.h"
#include "Recovery.h"
#include "StrItem.h"

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
    fresh->LoadOwnedText(FFs.ReadFile(path));
    IXmlNode& root = fresh->Root();
    const std::size_t count = root.ChildCount();
    TLoadedItems loaded;
    loaded.items.reserve(count);
    loaded.checked.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        try {
            loaded.items.push_back(TStrItem::LoadStrItem(root.Child(i)));
        } catch (const ConversionError& error) {
            throw ConversionError("item " + std::to_string(i + 1) + ": " + error.what());
        }
        loaded.checked.push_back(loaded.items.back()->FChecked);
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
        ReplaceRows(std::move(items));
        return;
    }

    const std::string path = DefaultListPath();
    if (!FFs.FileExists(path)) {
        FFileName = path; // the first save creates it
        return;
    }
    TLoadedItems items;
    std::string reason;
    if (TryLoad(path, items, reason)) {
        FFileName = path;
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
    // Without a current list file nothing is written at exit, so the unreadable file stays as it is.
    FAnswers.Warn("The list file " + Quote(path) + " could not be read: " + reason +
                  "\nIt could not be moved aside either (" + renameFailure +
                  "), so it is left as it is and the list will not be saved into it. Use Save to keep the list "
                  "in another file.");
}

void TListFile::SaveList(bool ask) {
    // The memory of the old document's text, already in use, takes the new text.
    std::string text = FXMLDoc.TakeStorage();
    ResetListDocument();
    ListText(text);
    const std::string path = ask ? SelectSaveFile(FAnswers, FFs, kListFileExt, kListFileFilter, {}) : FFileName;
    try {
        if (!path.empty()) {
            FFs.ReplaceFile(path, text);
        }
    } catch (...) {
        FXMLDoc.LoadTextLater(std::move(text));
        throw;
    }
    // The document is parsed from this text only when it is next asked for.
    FXMLDoc.LoadTextLater(std::move(text));
}

std::string TListFile::SaveRecovery(std::time_t now) {
    std::string text;
    ListText(text);
    const std::size_t hash = std::hash<std::string>{}(text);
    if (FRecoveryPath.empty() || hash != FRecoveryHash) {
        FRecoveryPath = SaveRecoveryFile(FFs, text, now);
        FRecoveryHash = hash;
    }
    return FRecoveryPath;
}

void TListFile::ListText(std::string& text) {
    text.assign(std::string_view(ListOpenTag())); // copied into the memory text already has
    if (!FRows.First()) {
        text += "/>";
        return;
    }
    std::size_t size = text.size() + 1 + kListClose.size();
    for (auto row = FRows.First(); row; row = FRows.Next(*row)) {
        const TStrItemPtr& item = FRows.Item(*row);
        item->FChecked = FRows.Checked(*row);
        size += item->ItemXmlSize();
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
