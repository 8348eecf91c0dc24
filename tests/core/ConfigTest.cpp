#include "core/Config.h"

#include "core/Conversion.h"
#include "core/Producer.h"

#include "tests/fakes/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using velmora::ConversionError;
using velmora::FileError;
using velmora::LoadConfigDocument;
using velmora::TConfig;
using velmora::XmlError;
using velmora::testing::FakeFileSystem;

namespace {

const std::string kPath = "/opt/velmora/config.configxml";
const std::string kCompact =
    R"(<config versionNo="1.0" generated="https://velmora.org/"><running minimize="false" stayontop="True"/></config>)";

} // namespace

TEST(Config, TheTemplateIsByteForByte) {
    const std::string text = TConfig::DefaultConfigText();
    ASSERT_EQ(text.size(), 250 + std::strlen(velmora::kProducerText));
    const std::string configTag = R"(<config versionNo="1.0" generated="https://velmora.org/">)";
    const std::string runningTag = R"(<running minimize="false" stayontop="True"/>)";
    std::size_t at = 0;
    const auto expectBlanks = [&](std::size_t count) {
        EXPECT_EQ(text.substr(at, count), std::string(count, ' ')) << "at " << at;
        at += count;
        EXPECT_NE(text.at(at), ' ') << "more blanks at " << at;
    };
    const auto expectText = [&](const std::string& piece) {
        EXPECT_EQ(text.substr(at, piece.size()), piece) << "at " << at;
        at += piece.size();
    };
    expectBlanks(1);
    expectText(configTag);
    expectBlanks(22);
    expectText(runningTag);
    expectBlanks(51);
    expectText("</config>");
    EXPECT_EQ(text.substr(at), std::string(86, ' ')) << "86 blanks end it";
}

TEST(Config, FirstShutdownWritesTheTemplateThenTheCompactTextAndTheSecondChangesNothing) {
    FakeFileSystem fs;
    {
        TConfig config(fs);
        EXPECT_EQ(config.ConfigFileName(), kPath);
        ASSERT_EQ(fs.CallsOf("replace").size(), 1u);
        EXPECT_EQ(fs.CallsOf("replace")[0].bytes, TConfig::DefaultConfigText());
        EXPECT_FALSE(config.Running().Minimize());
        EXPECT_TRUE(config.Running().Stayontop());
        EXPECT_TRUE(config.Save());
    }
    EXPECT_EQ(fs.File(kPath), kCompact);

    fs.ClearCalls();
    {
        TConfig config(fs);
        config.Save();
    }
    EXPECT_EQ(fs.File(kPath), kCompact);
    EXPECT_TRUE(fs.CallsOf("replace").empty()) << "neither the template nor the same settings are written again";
}

TEST(Config, ValuesStayAsReadUntilSetAndSetOnesAreTrueOrFalse) {
    FakeFileSystem fs;
    fs.SetFile(kPath, "<config versionNo=\"0.9\" generated=\"x\">\n  <running stayontop=\"TRUE\" minimize=\"0\" "
                      "extra=\"kept\"/>\n</config>");
    TConfig config(fs);
    EXPECT_TRUE(config.Running().Stayontop());
    EXPECT_FALSE(config.Running().Minimize());
    config.Save();
    EXPECT_EQ(
        fs.File(kPath),
        R"(<config versionNo="0.9" generated="x"><running stayontop="TRUE" minimize="0" extra="kept"/></config>)");

    config.Running().SetMinimize(true);
    config.Running().SetStayontop(false);
    config.Save();
    EXPECT_EQ(
        fs.File(kPath),
        R"(<config versionNo="0.9" generated="x"><running stayontop="False" minimize="True" extra="kept"/></config>)");
}

TEST(Config, AMissingRunningElementOrFlagIsAddedEmptyAndCannotBeRead) {
    FakeFileSystem fs;
    fs.SetFile(kPath, R"(<config versionNo="1.0"/>)");
    TConfig config(fs);
    EXPECT_THROW(config.Running().Minimize(), ConversionError);
    config.Save();
    EXPECT_EQ(fs.File(kPath), R"(<config versionNo="1.0"><running minimize=""/></config>)");
    EXPECT_THROW(config.Running().Minimize(), ConversionError) << "an empty value is no value";
    config.Running().SetStayontop(true);
    EXPECT_TRUE(config.Running().Stayontop());
}

TEST(Config, AFileThatIsNotASettingsFileFailsAndIsLeftAsItWas) {
    FakeFileSystem fs;
    const std::string cases[] = {"<list/>", "<config", ""};
    for (const std::string& content : cases) {
        fs.SetFile(kPath, content);
        try {
            TConfig config(fs);
            ADD_FAILURE() << "loaded: " << content;
        } catch (const XmlError& e) {
            EXPECT_NE(std::string(e.what()).find(kPath), std::string::npos) << e.what();
        }
        EXPECT_EQ(fs.File(kPath), content);
    }
    EXPECT_TRUE(fs.CallsOf("replace").empty());
    fs.SetFile(kPath, "<list/>");
    try {
        LoadConfigDocument(fs, kPath);
    } catch (const XmlError& e) {
        EXPECT_NE(std::string(e.what()).find("\"list\""), std::string::npos) << e.what();
    }
}

TEST(Config, AFailedWriteIsReportedAndLeavesTheOldFile) {
    FakeFileSystem fs;
    fs.FailReplaces(EROFS);
    EXPECT_THROW(TConfig config(fs), FileError);
    EXPECT_FALSE(fs.File(kPath).has_value());

    fs.FailReplaces(0);
    TConfig config(fs);
    config.Running().SetMinimize(true);
    fs.FailReplaces(ENOSPC, 20, 1);
    try {
        config.Save();
        ADD_FAILURE() << "the failed write was not reported";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(kPath), std::string::npos) << e.what();
    }
    EXPECT_EQ(fs.File(kPath), TConfig::DefaultConfigText());
    config.Save();
    EXPECT_NE(fs.File(kPath)->find(R"(minimize="True")"), std::string::npos);
}
