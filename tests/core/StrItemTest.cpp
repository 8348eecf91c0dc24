#include "core/StrItem.h"
#include "core/Conversion.h"
#include "core/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>

using velmora::ConversionError;
using velmora::CreateXmlDocument;
using velmora::IXmlDocument;
using velmora::TStrItem;

namespace {

class StrItemTest : public ::testing::Test {
protected:
    // The item read from `<item .../>` with these attributes.
    TStrItem Load(const std::string& attributes) {
        document_->LoadText("<list><item " + attributes + "/></list>");
        return *TStrItem::LoadStrItem(document_->Root().Child(0));
    }

    std::string LoadError(const std::string& attributes) {
        try {
            Load(attributes);
        } catch (const ConversionError& e) {
            return e.what();
        }
        return "";
    }

    std::unique_ptr<IXmlDocument> document_ = CreateXmlDocument();
};

} // namespace

TEST_F(StrItemTest, SavedItemsReadBackEqualWithAttributesInOrder) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) {
        allBytes += static_cast<char>(i);
    }
    const TStrItem items[] = {
        {"", 0, 0, false},
        {"a", 1, 116, true},
        {"ab\r\nc", 2, 65, false},
        {allBytes, 255, -2147483647 - 1, true},
    };
    document_->LoadText("<list/>");
    for (const TStrItem& item : items) {
        item.SaveStrItem(document_->Root());
    }
    ASSERT_EQ(document_->Root().ChildCount(), std::size(items));
    EXPECT_EQ(document_->Root().Child(0).XmlText(), R"(<item FStr="" FHKCtrl="0" FHKChar="0" checked="False"/>)");
    EXPECT_EQ(document_->Root().Child(1).XmlText(), R"(<item FStr="YQ==" FHKCtrl="1" FHKChar="116" checked="True"/>)");
    // Read back from the saved text, not from the tree that wrote it.
    document_->LoadText(document_->SaveText());
    for (std::size_t i = 0; i < std::size(items); ++i) {
        EXPECT_EQ(*TStrItem::LoadStrItem(document_->Root().Child(i)), items[i]) << i;
    }
}

TEST_F(StrItemTest, MissingAndForeignAttributesLeaveTheNewItemValues) {
    EXPECT_EQ(Load(""), TStrItem{});
    EXPECT_EQ(Load(R"(fstr="YQ==" FHKCTRL="x" Checked="x" other="1")"), TStrItem{});
    EXPECT_EQ(Load(R"(FStrOld="Qg==" FStr="QQ==" FHKCharX="x")").FStr, "A") << "names match whole, not by prefix";
    EXPECT_EQ(Load(R"(FHKChar="65")"), (TStrItem{"", 0, 65, false}));
    document_->LoadText("<list><!-- FStr=\"YQ==\" --></list>");
    EXPECT_EQ(*TStrItem::LoadStrItem(document_->Root().Child(0)), TStrItem{});
}

TEST_F(StrItemTest, TextThatIsNotWholeBase64GroupsReadsAsTTAndIsWrittenBackUntilTheTextChanges) {
    EXPECT_EQ(Load(R"(FStr="")").FStr, "");
    // Groups are counted in characters, not in UTF-8 bytes: four characters decode.
    EXPECT_NE(Load("FStr=\"\xC3\xA9QQ=\"").FStr, "TT");

    TStrItem item = Load(R"(FStr="YWJjZ&amp;&quot;&#9;&lt;" FHKChar="65")");
    EXPECT_EQ(item.FStr, "TT");
    document_->LoadText("<list/>");
    item.SaveStrItem(document_->Root());
    std::string direct;
    item.AppendItemXml(direct);
    EXPECT_EQ(direct, document_->Root().Child(0).XmlText());
    document_->LoadText("<list>" + direct + "</list>");
    EXPECT_EQ(document_->Root().Child(0).Attribute("FStr"), "YWJjZ&\"\t<") << "the user's value comes back unchanged";

    item.FStr = "new";
    EXPECT_EQ(item.StoredText(), "bmV3");
}

TEST_F(StrItemTest, ModifierKeepsTheLow8BitsOfA32BitInteger) {
    EXPECT_EQ(Load(R"(FHKCtrl="258")").FHKCtrl, 2);
    EXPECT_EQ(Load(R"(FHKCtrl="256")").FHKCtrl, 0);
    EXPECT_EQ(Load(R"(FHKCtrl="-1")").FHKCtrl, 255);
    EXPECT_EQ(Load(R"(FHKCtrl="-255")").FHKCtrl, 1);
    EXPECT_EQ(LoadError(R"(FHKCtrl="x")"), R"(Attribute "FHKCtrl": "x" is not an integer)");
    EXPECT_NE(LoadError(R"(FHKCtrl="4294967298")"), ""); // would be 2 in 8 bits, but is outside 32 bits
}

TEST_F(StrItemTest, KeyAndCheckedGoThroughTheIntegerAndBooleanRules) {
    EXPECT_EQ(Load(R"(FHKChar="-7" checked="TRUE")"), (TStrItem{"", 0, -7, true}));
    EXPECT_EQ(Load(R"(checked="0")").FChecked, false);
    EXPECT_EQ(LoadError(R"(FHKChar="")"), R"(Attribute "FHKChar": "" is not an integer)");
    EXPECT_NE(LoadError(R"(FHKChar="2147483648")").find(R"("FHKChar")"), std::string::npos);
    EXPECT_NE(LoadError(R"(checked="yes")").find(R"("checked": "yes")"), std::string::npos);
}

TEST_F(StrItemTest, ItemXmlTextIsByteForByteTheSavedElement) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) {
        allBytes += static_cast<char>(i);
    }
    const TStrItem items[] = {
        {"", 0, 0, false},
        {"a", 255, -1, true},
        {"ab", 1, 2147483647, false},
        {"abc", 2, -2147483647 - 1, true},
        {"ab\r\nc\xC3\xA9", 0, 65, false},
        {allBytes, 128, 0, true},
    };
    document_->LoadText("<list/>");
    for (std::size_t i = 0; i < std::size(items); ++i) {
        items[i].SaveStrItem(document_->Root());
        std::string text = "before";
        items[i].AppendItemXml(text);
        EXPECT_EQ(text, "before" + document_->Root().Child(i).XmlText()) << i;
        EXPECT_EQ(items[i].ItemXmlSize(), text.size() - 6) << i;
    }
}

TEST_F(StrItemTest, KeysSecretPasteAndDelayAreWrittenOnlyForARowThatUsesThemAndReadBack) {
    TStrItem item{"a", 1, 116, true};
    item.FKeys = item.FSecret = item.FPaste = true;
    item.FDelay = 250;
    TStrItem delayOnly{"b", 0, 65, false};
    delayOnly.FDelay = 1000;
    document_->LoadText("<list/>");
    std::size_t index = 0;
    for (const TStrItem* saved : {&item, &delayOnly}) {
        saved->SaveStrItem(document_->Root());
        std::string text;
        saved->AppendItemXml(text);
        EXPECT_EQ(text, document_->Root().Child(index++).XmlText());
        EXPECT_EQ(saved->ItemXmlSize(), text.size());
    }
    EXPECT_EQ(document_->Root().Child(0).XmlText(), R"(<item FStr="YQ==" FHKCtrl="1" FHKChar="116" checked="True" )"
                                                    R"(keys="True" secret="True" paste="True" delay="250"/>)");
    EXPECT_EQ(document_->Root().Child(1).XmlText(), R"(<item FStr="Yg==" FHKCtrl="0" FHKChar="65" checked="False" )"
                                                    R"(delay="1000"/>)");
    document_->LoadText(document_->SaveText());
    EXPECT_EQ(*TStrItem::LoadStrItem(document_->Root().Child(0)), item);
    EXPECT_EQ(*TStrItem::LoadStrItem(document_->Root().Child(1)), delayOnly);

    // Read as the file's other values are; a delay beyond the range is brought into it.
    EXPECT_TRUE(Load(R"(keys="1" secret="TRUE")").FSecret);
    EXPECT_EQ(Load(R"(delay="5000")").FDelay, 1000U);
    EXPECT_EQ(Load(R"(delay="-3")").FDelay, 0U);
    EXPECT_EQ(Load(R"(pace="9" Secret="True")"), TStrItem{}) << "other names are ignored";
    EXPECT_NE(LoadError(R"(secret="yes")").find(R"("secret": "yes")"), std::string::npos);
    EXPECT_NE(LoadError(R"(delay="fast")").find(R"("delay")"), std::string::npos);
}
