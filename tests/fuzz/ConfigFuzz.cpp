// Reads arbitrary bytes as the settings file the way the program does at shutdown: load, read both flags, write
// back. Properties: a file that cannot be loaded is left exactly as it was; loading never writes; what the program
// writes loads again with the same flags, and writing it again gives the same bytes.

#include "core/Config.h"
#include "core/Conversion.h"
#include "core/FileSystem.h"
#include "core/XmlDocument.h"

#include "FuzzSupport.h"
#include "tests/fakes/FakeFileSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace {

using velmora::ConversionError;
using velmora::FileError;
using velmora::IXMLRunningType;
using velmora::TConfig;
using velmora::XmlError;
using velmora::testing::FakeFileSystem;

const std::string kFolder = "/opt/velmora";
const std::string kPath = kFolder + "/config.configxml";

struct TFlags {
    std::optional<bool> minimize;
    std::optional<bool> stayontop;
};

TFlags ReadFlags(IXMLRunningType& running) {
    TFlags flags;
    try {
        flags.minimize = running.Minimize();
    } catch (const ConversionError&) {
    }
    try {
        flags.stayontop = running.Stayontop();
    } catch (const ConversionError&) {
    }
    return flags;
}

std::unique_ptr<TConfig> TryLoad(FakeFileSystem& fs) {
    try {
        return std::make_unique<TConfig>(fs);
    } catch (const XmlError&) {
    } catch (const FileError&) {
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The bound document on its own, as LoadConfigDocument gives it.
    FakeFileSystem plain(kFolder);
    plain.SetFile(kPath, input);
    std::string boundText;
    try {
        const auto config = velmora::LoadConfigDocument(plain, kPath);
        ReadFlags(config->Running());
        boundText = config->XmlText();
    } catch (const XmlError&) {
    }

    FakeFileSystem fs(kFolder);
    fs.SetFile(kPath, input);
    const std::unique_ptr<TConfig> config = TryLoad(fs);
    FUZZ_CHECK(fs.File(kPath) == input);
    FUZZ_CHECK(fs.CallsOf("replace").empty());
    if (!config) {
        FUZZ_CHECK(boundText.empty());
        return 0;
    }
    const TFlags flags = ReadFlags(config->Running());
    config->Save();
    const auto saved = fs.File(kPath);
    FUZZ_CHECK(saved.has_value());
    FUZZ_CHECK(*saved == boundText);

    const std::unique_ptr<TConfig> again = TryLoad(fs);
    FUZZ_CHECK(again != nullptr);
    const TFlags reread = ReadFlags(again->Running());
    FUZZ_CHECK(reread.minimize == flags.minimize);
    FUZZ_CHECK(reread.stayontop == flags.stayontop);
    again->Save();
    FUZZ_CHECK(fs.File(kPath) == saved);
    return 0;
}
