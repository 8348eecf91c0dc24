#pragma once

#include "FileSystem.h"
#include "XmlDocument.h"

#include <memory>
#include <string>

namespace velmora {

inline constexpr const char* kConfigFileName = "config.configxml";

/// The `running` element of the settings document.
class IXMLRunningType {
public:
    virtual ~IXMLRunningType() = default;
    /// The `minimize` flag; an empty or missing value is added empty and throws ConversionError.
    virtual bool Minimize() = 0;
    /// Sets `minimize` to "True" or "False".
    virtual void SetMinimize(bool value) = 0;
    /// The `stayontop` flag; an empty or missing value is added empty and throws ConversionError.
    virtual bool Stayontop() = 0;
    /// Sets `stayontop` to "True" or "False".
    virtual void SetStayontop(bool value) = 0;
    /// The picker's hotkey as written ("CTRL+ALT+Space"); empty when the attribute is missing (the default).
    virtual std::string PickHotkey() = 0;
    /// Sets the picker's hotkey; the empty text removes the attribute.
    virtual void SetPickHotkey(const std::string& value) = 0;
};

/// The root element `config` of the settings document; it keeps the whole document alive.
class IXMLConfigType {
public:
    virtual ~IXMLConfigType() = default;
    /// Text of `versionNo`.
    virtual std::string VersionNo() = 0;
    /// Sets `versionNo`.
    virtual void SetVersionNo(const std::string& value) = 0;
    /// Text of `generated`.
    virtual std::string Generated() = 0;
    /// Sets `generated`.
    virtual void SetGenerated(const std::string& value) = 0;
    /// The child element `running`, appended empty when there is none.
    virtual IXMLRunningType& Running() = 0;
    /// The serialised `config` element: no declaration, no blanks between elements.
    virtual std::string XmlText() const = 0;
};

/// Parses the settings file and binds its root element; throws XmlError/FileError, or XmlError when the root
/// element is not `config`.
std::unique_ptr<IXMLConfigType> LoadConfigDocument(const IFileSystem& fs, const std::string& path);

/// The settings file beside the executable: created from the template when missing, loaded, written back by Save.
class TConfig {
public:
    /// Writes the template when the file is missing, then loads it. Throws FileError/XmlError.
    explicit TConfig(IFileSystem& fs);
    TConfig(const TConfig&) = delete;
    TConfig& operator=(const TConfig&) = delete;

    /// The executable's folder, "/", "config.configxml".
    std::string ConfigFileName() const;
    /// Replaces the settings file by the template.
    void WriteDefaultConfig();
    /// The `running` element of the loaded document.
    IXMLRunningType& Running();
    /// Replaces the settings file by the `config` element's text; returns true. A file that holds that text already
    /// is not written; one that cannot be written is no error while the settings are as they were read. Throws
    /// FileError.
    bool Save();
    /// The template's bytes.
    static std::string DefaultConfigText();

private:
    IFileSystem& FFs;
    std::unique_ptr<IXMLConfigType> FXMLConfig;
    std::string FLoadedText; ///< the `config` element's text as it was read
};

} // namespace velmora
