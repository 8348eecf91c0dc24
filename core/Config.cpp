#include "Config.h"

#include "Conversion.h"
#include "Producer.h"

#include <utility>

namespace velmora {
namespace {

constexpr std::string_view kPickHotkey = "pickhotkey";

/// The `running` element, looked up afresh on every access so that it is appended when missing.
class TXMLRunningType final : public IXMLRunningType {
public:
    explicit TXMLRunningType(IXmlNode& config) : FConfig(config) {}

    bool Minimize() override { return ReadFlag("minimize"); }
    void SetMinimize(bool value) override { Element().SetAttributeBool("minimize", value); }
    bool Stayontop() override { return ReadFlag("stayontop"); }
    void SetStayontop(bool value) override { Element().SetAttributeBool("stayontop", value); }
    std::string PickHotkey() override { return Element().Attribute(kPickHotkey); }
    void SetPickHotkey(const std::string& value) override {
        if (value.empty()) {
            Element().RemoveAttribute(kPickHotkey);
        } else {
            Element().SetAttributeText(kPickHotkey, value);
        }
    }

private:
    IXmlNode& Element() { return FConfig.ChildElement("running"); }
    bool ReadFlag(std::string_view name) { return ParseBoolean(name, Element().EnsureAttribute(name)); }

    IXmlNode& FConfig;
};

/// The root element `config`; owns the document.
class TXMLConfigType final : public IXMLConfigType {
public:
    explicit TXMLConfigType(std::unique_ptr<IXmlDocument> document)
        : FDocument(std::move(document)), FRoot(FDocument->Root()), FRunning(FRoot) {}

    std::string VersionNo() override { return FRoot.Attribute("versionNo"); }
    void SetVersionNo(const std::string& value) override { FRoot.SetAttributeText("versionNo", value); }
    std::string Generated() override { return FRoot.Attribute("generated"); }
    void SetGenerated(const std::string& value) override { FRoot.SetAttributeText("generated", value); }
    IXMLRunningType& Running() override { return FRunning; }
    std::string XmlText() const override { return FRoot.XmlText(); }

private:
    std::unique_ptr<IXmlDocument> FDocument;
    IXmlNode& FRoot;
    TXMLRunningType FRunning;
};

} // namespace

std::unique_ptr<IXMLConfigType> LoadConfigDocument(const IFileSystem& fs, const std::string& path) {
    auto document = CreateXmlDocument();
    try {
        document->LoadText(fs.ReadFile(path));
    } catch (const XmlError& error) {
        throw XmlError("The settings file \"" + path + "\" cannot be read: " + error.what());
    }
    const IXmlNode& root = document->Root();
    if (!root.IsElement() || root.Name() != "config") {
        throw XmlError("The settings file \"" + path + "\" is not a settings file: its root element is \"" +
                       root.Name() + "\", not \"config\"");
    }
    return std::make_unique<TXMLConfigType>(std::move(document));
}

TConfig::TConfig(IFileSystem& fs) : FFs(fs) {
    const std::string path = ConfigFileName();
    if (!FFs.FileExists(path)) {
        WriteDefaultConfig();
    }
    FXMLConfig = LoadConfigDocument(FFs, path);
    FLoadedText = FXMLConfig->XmlText();
}

std::string TConfig::ConfigFileName() const {
    return FFs.ExecutableDir() + "/" + kConfigFileName;
}

std::string TConfig::DefaultConfigText() {
    return " <config versionNo=\"1.0\" generated=\"" + std::string(kProducerText) + "\">" + std::string(22, ' ') +
           "<running minimize=\"false\" stayontop=\"True\"/>" + std::string(51, ' ') + "</config>" +
           std::string(86, ' ');
}

void TConfig::WriteDefaultConfig() {
    FFs.ReplaceFile(ConfigFileName(), DefaultConfigText());
}

IXMLRunningType& TConfig::Running() {
    return FXMLConfig->Running();
}

bool TConfig::Save() {
    const std::string path = ConfigFileName();
    const std::string text = FXMLConfig->XmlText();
    try {
        if (FFs.FileExists(path) && FFs.ReadFile(path) == text) {
            return true;
        }
    } catch (const FileError&) {
        // Not readable: written as it always was.
    }
    try {
        FFs.ReplaceFile(path, text);
    } catch (const FileError&) {
        // Settings nobody changed are in the file already, in its own form: a read-only file is no loss.
        if (text != FLoadedText) {
            throw;
        }
    }
    return true;
}

} // namespace velmora
