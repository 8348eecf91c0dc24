#include "core/XmlDocument.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <unistd.h>

using velmora::CreateXmlDocument;
using velmora::IXmlDocument;
using velmora::IXmlNode;
using velmora::XmlError;

namespace {

constexpr const char* kTemplateDeclaration = R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>)";

std::unique_ptr<IXmlDocument> Parse(const std::string& bytes) {
    auto document = CreateXmlDocument();
    document->LoadText(bytes);
    return document;
}

// UTF-16 bytes of a text whose characters are all in the Basic Multilingual Plane.
std::string Utf16(std::u16string_view text, bool bigEndian, bool bom) {
    std::string bytes;
    const auto put = [&](char16_t c) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    };
    if (bom) {
        put(0xFEFF);
    }
    for (char16_t c : text) {
        put(c);
    }
    return bytes;
}

std::string ErrorOf(const std::string& bytes) {
    try {
        Parse(bytes);
    } catch (const XmlError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(XmlDocument, EveryNonBlankChildOfTheRootCountsInDocumentOrder) {
    auto document = Parse("<?xml version=\"1.0\"?>\n<data>\n  <item a=\"1\"/>\n  <!-- note -->\n  <?tool run?>\n"
                          "  <![CDATA[raw]]>\n  text\n  <item a=\"2\"></item>\n</data>\n");
    IXmlNode& root = document->Root();
    EXPECT_EQ(root.Name(), "data");
    ASSERT_EQ(root.ChildCount(), 6u); // the indentation gives no children
    EXPECT_TRUE(root.Child(0).IsElement());
    for (std::size_t i : {1u, 2u, 3u, 4u}) {
        EXPECT_FALSE(root.Child(i).IsElement()) << i;
        EXPECT_EQ(root.Child(i).Name(), "") << i;
        EXPECT_FALSE(root.Child(i).HasAttribute("a")) << i;
    }
    EXPECT_EQ(root.Child(1).XmlText(), "<!-- note -->");
    EXPECT_EQ(root.Child(2).XmlText(), "<?tool run?>");
    EXPECT_EQ(root.Child(5).Attribute("a"), "2");
    EXPECT_THROW(root.Child(6), XmlError);
    EXPECT_THROW(root.Child(1).SetAttributeText("a", "x"), XmlError);
    EXPECT_THROW(root.Child(1).AppendElement("item"), XmlError);
}

TEST(XmlDocument, EditsKeepChildrenAndReferencesInStep) {
    auto document = Parse("<list><a/><b x=\"1\"/></list>");
    IXmlNode& root = document->Root();
    IXmlNode& first = root.Child(0);
    for (int i = 0; i < 1000; ++i) {
        root.AppendElement("item").SetAttributeInt("n", i);
    }
    ASSERT_EQ(root.ChildCount(), 1002u);
    EXPECT_EQ(first.Name(), "a"); // still valid after many appends
    EXPECT_EQ(root.Child(1001).Attribute("n"), "999");
    EXPECT_EQ(&root.ChildElement("b"), &root.Child(1));
    IXmlNode& made = root.ChildElement("c");
    EXPECT_EQ(&made, &root.Child(1002));
    EXPECT_EQ(made.EnsureAttribute("v"), "");
    EXPECT_TRUE(made.HasAttribute("v"));
    EXPECT_FALSE(made.HasAttribute("V"));
    root.RemoveChildren();
    EXPECT_EQ(root.ChildCount(), 0u);
    root.AppendElement("z");
    EXPECT_EQ(root.ChildCount(), 1u);
    EXPECT_EQ(document->SaveText(), "<?xml version=\"1.0\"?><list><z/></list>");
}

TEST(XmlDocument, SavesDeclarationAndTreeWithoutAddedBlanks) {
    auto document = Parse(std::string(kTemplateDeclaration) + "\r\n<list>\r\n</list>\r\n");
    IXmlNode& item = document->Root().AppendElement("item");
    item.SetAttributeText("FStr", "QQ==");
    item.SetAttributeInt("FHKChar", -5);
    item.SetAttributeBool("checked", true);
    item.SetAttributeText("FStr", "Qg=="); // an existing attribute keeps its place
    document->Root().AppendElement("item").SetAttributeBool("checked", false);
    EXPECT_EQ(document->SaveText(), std::string(kTemplateDeclaration) +
                                        "<list><item FStr=\"Qg==\" FHKChar=\"-5\" checked=\"True\"/>"
                                        "<item checked=\"False\"/></list>");
    EXPECT_EQ(item.XmlText(), "<item FStr=\"Qg==\" FHKChar=\"-5\" checked=\"True\"/>");
}

TEST(XmlDocument, Utf16WithOrWithoutByteOrderMarkIsReadNatively) {
    const std::u16string text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><list><item t=\"caf\u00E9 \u4E2D\"/></list>";
    for (bool bigEndian : {false, true}) {
        for (bool bom : {true, false}) {
            auto document = Parse(Utf16(text, bigEndian, bom));
            ASSERT_EQ(document->Root().ChildCount(), 1u);
            EXPECT_EQ(document->Root().Child(0).Attribute("t"), "caf\xC3\xA9 \xE4\xB8\xAD");
            // Saved as UTF-8, the declaration must say so.
            EXPECT_EQ(document->SaveText().substr(0, 38), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
        }
    }
    EXPECT_EQ(
        Parse("\xEF\xBB\xBF<?xml version='1.0' encoding='windows-1252'?><list a=\"\xC3\xA9\"/>")->Root().Attribute("a"),
        "\xC3\xA9"); // the UTF-8 byte order mark outweighs the declaration
    // 8-bit bytes that declare UTF-16 plainly are not: they are read as UTF-8.
    EXPECT_EQ(Parse("<?xml version=\"1.0\" encoding=\"utf-16\"?><list a=\"\xC3\xA9\"/>")->Root().Attribute("a"),
              "\xC3\xA9");
}

TEST(XmlDocument, DeclaredLegacyEncodingsAreConvertedToUtf8) {
    const std::pair<const char*, const char*> cases[] = {
        {"windows-1252", "caf\xE9 \x80 \x81"}, // é, euro sign, an undefined byte
        {"ISO-8859-1", "caf\xE9"},             //
        {"GBK", "\xD6\xD0\xCE\xC4"},           // two Chinese characters
        {"Shift_JIS", "\x93\xFA\x96\x7B"},     // two Japanese characters
    };
    const char* expected[] = {"caf\xC3\xA9 \xE2\x82\xAC \xC2\x81", "caf\xC3\xA9", "\xE4\xB8\xAD\xE6\x96\x87",
                              "\xE6\x97\xA5\xE6\x9C\xAC"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [encoding, value] = cases[i];
        auto document = Parse(std::string("<?xml version='1.0' encoding='") + encoding + "'?><list><item t=\"" + value +
                              "\"/></list>");
        EXPECT_EQ(document->Root().Child(0).Attribute("t"), expected[i]) << encoding;
        EXPECT_NE(document->SaveText().find("encoding=\"utf-8\""), std::string::npos) << encoding;
    }
}

TEST(XmlDocument, EncodingNamesWindowsReadersAcceptAreReadAsWindowsReadsThem) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"ks_c_5601-1987", "\xB0\xA1", "\xEA\xB0\x80"},
        {"euc-kr", "\x81\x41", "\xEA\xB0\x82"}, // a character only the Windows code page has
        {"x-sjis", "\x82\xA0", "\xE3\x81\x82"},
        {"iso-8859-8-i", "\xE0", "\xD7\x90"},
        {"X-CP1250", "\x8A", "\xC5\xA0"},
        {"gb2312", "\x81\x40", "\xE4\xB8\x82"},
        {"big5", "\xA4\xA4", "\xE4\xB8\xAD"},
        {"unicode-2-0-utf8", "\xC3\xA9", "\xC3\xA9"},
    };
    for (const auto& [encoding, value, expected] : cases) {
        const std::string xml = std::string("<?xml version='1.0' encoding='") + encoding + "'?><l a='" + value + "'/>";
        EXPECT_EQ(Parse(xml)->Root().Attribute("a"), expected) << encoding;
    }
}

TEST(XmlDocument, EntitiesTheDocumentDeclaresAreExpandedWithinBoundsAndMalformedDeclarationsRefused) {
    const std::string subset =
        "<!DOCTYPE list SYSTEM 'never-read.dtd' [\n<!-- note --><?tool x?>"
        "<!ELEMENT list (item|note)*><!ELEMENT item EMPTY><!NOTATION n PUBLIC '-//x//n'>"
        "<!ATTLIST item FStr CDATA #IMPLIED checked (True|False) 'False'>"
        "<!ENTITY v 'x'><!ENTITY q '\"'><!ENTITY amp2 '&#38;#38;'><!ENTITY w \"&v;&q;&v;\">"
        "<!ENTITY row \"<item FStr='&v;QQ='/>\"><!ENTITY v 'second declarations do not count'>]>";
    auto document = Parse(subset + "<list a=\"&w;&amp2;\">&row;&v;&row;</list>");
    IXmlNode& root = document->Root();
    EXPECT_EQ(root.Attribute("a"), "x\"x&");
    ASSERT_EQ(root.ChildCount(), 3u);
    EXPECT_EQ(root.Child(0).Attribute("FStr"), "xQQ=");
    EXPECT_EQ(root.Child(2).Attribute("FStr"), "xQQ=");

    std::string laughs = "<!DOCTYPE list [<!ENTITY l0 'lol'>";
    for (int i = 1; i < 10; ++i) {
        const std::string l = "&l" + std::to_string(i - 1) + ";";
        laughs += "<!ENTITY l" + std::to_string(i) + " '" + l + l + l + l + l + l + l + l + l + l + "'>";
    }
    const std::pair<std::string, std::string> refused[] = {
        {laughs + "]><list>&l9;</list>", "cannot be expanded"},
        {"<!DOCTYPE l [<!ENTITY a '&b;'><!ENTITY b '&a;'>]><l>&a;</l>", "refers to itself"},
        {"<!DOCTYPE l [<!ENTITY x SYSTEM 'file:///etc/hostname'>]><l>&x;</l>", "never read"},
        {"<!DOCTYPE l [<!ENTITY o '<a>'>]><l>&o;</l>", "does not hold well-formed content"},
        {"<!DOCTYPE l [<!ENTITY lt2 '&#60;'>]><l a='&lt2;'/>", "\"<\""},
        {"<!DOCTYPE l [%p;<!ENTITY v 'x'>]><l>&v;</l>", "undefined entity"},
        {"<!DOCTYPE l [ garbage ]><l/>", "malformed markup declaration"},
        {"<!DOCTYPE l [<!ENTITY v 'x']><l/>", "malformed entity declaration"},
        {"<!DOCTYPE l [<!ENTITY % p 'x'><!ENTITY v '%p;'>]><l/>", "parameter entity reference inside an entity value"},
        {"<!DOCTYPE l [<!ELEMENT l (a|b,c)>]><l/>", "malformed content model"},
        {"<!DOCTYPE l [<!ATTLIST l a BOGUS #IMPLIED>]><l/>", "unknown attribute type"},
        {"<!DOCTYPE l PUBLIC 'id'><l/>", "without its system identifier"},
        {"<!DOCTYPE l [<!ENTITY v 'x'>]]><l/>", "malformed document type declaration"},
    };
    for (const auto& [text, problem] : refused) {
        EXPECT_NE(ErrorOf(text).find(problem), std::string::npos) << text << " gave: " << ErrorOf(text);
    }
}

TEST(XmlDocument, UnknownEncodingsAndInvalidBytesAreRejected) {
    EXPECT_NE(ErrorOf("<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?><list/>").find("\"x-no-such-charset\""),
              std::string::npos);
    EXPECT_NE(ErrorOf("<?xml version=\"1.0\" encoding=\"US-ASCII\"?><list a=\"\xFF\"/>"), "");
}

TEST(XmlDocument, WhatIsNotWellFormedIsRejectedWithWhereAndNothingForbiddenIsWritten) {
    const std::pair<std::string, std::string> cases[] = {
        {"<list a=\"1\" a=\"2\"/>", "the attribute \"a\" twice"},
        {"<list>&foo;</list>", "the undefined entity \"&foo;\""},
        {"<list a=\"x&y\"/>", "\"&\" that does not start a reference"},
        {"<list a=\"x<y\"/>", "\"<\" in an attribute value"},
        {"<!-- c --><?xml version=\"1.0\"?><list/>", "not at the very start"},
        {"<?xml version=\"1.0\"?><?xml version=\"1.0\"?><list/>", "not at the very start"},
        {"<list a=\"\xC3\"/>", "not valid UTF-8"},
        {"<list a=\"\xED\xA0\x80\"/>", "not valid UTF-8"}, // a surrogate
        {"<list>\x01</list>", "U+0001"},
        {"<list a=\"&#1;\"/>", "U+0001"},
        {"<list>\n<item/>\n]]></list>", "\"]]>\" in text at line 3, column 1"},
        {"<list><!-- a -- b --></list>", "\"--\" inside a comment"},
        {"<list><item></list>", "the end tag \"list\" where \"item\" is open"},
    };
    for (const auto& [text, problem] : cases) {
        EXPECT_NE(ErrorOf(text).find(problem), std::string::npos) << text << " gave: " << ErrorOf(text);
    }
    // What is allowed stays allowed.
    EXPECT_EQ(Parse("<!DOCTYPE list [<!ENTITY e \"]>\">]><list a='&lt;&#x4E2D;&#9;&quot;'><![CDATA[<&]]></list>")
                  ->Root()
                  .Attribute("a"),
              "<\xE4\xB8\xAD\t\"");
    auto document = Parse("<list/>");
    EXPECT_THROW(document->Root().SetAttributeText("a", "x\x01"), XmlError);
    EXPECT_EQ(document->SaveText().find('\x01'), std::string::npos);
}

TEST(XmlDocument, ExternalEntitiesAreNeverRead) {
    const std::filesystem::path secret =
        std::filesystem::temp_directory_path() / ("velmora-xxe-" + std::to_string(getpid()) + ".txt");
    std::ofstream(secret) << "SECRET-CONTENT-42";
    const std::string uri = "file://" + secret.string();
    const std::string text = "<?xml version=\"1.0\"?><!DOCTYPE list [<!ENTITY xxe SYSTEM \"" + uri +
                             "\"><!ENTITY lol \"lollollol\">]><list a=\"&xxe;\">&xxe;&lol;<item b=\"&lol;\"/></list>";
    auto document = CreateXmlDocument();
    try {
        document->LoadText(text);
    } catch (const XmlError&) {
        // Rejecting the document is as good as leaving the entity unresolved.
    }
    if (!document->IsEmpty()) {
        const std::string saved = document->SaveText();
        EXPECT_EQ(saved.find("SECRET"), std::string::npos) << saved;
        EXPECT_EQ(saved.find("lollollol"), std::string::npos) << saved;
    }
    std::filesystem::remove(secret);
}

TEST(XmlDocument, AFailedParseKeepsThePreviousContent) {
    auto document = Parse("<list><item n=\"1\"/><item n=\"2\"/></list>");
    IXmlNode& kept = document->Root().Child(1);
    const std::string truncated = "<list>\n<item n=\"1\"/>\n<item n=";
    try {
        document->LoadText(truncated);
        FAIL() << "a truncated document was accepted";
    } catch (const XmlError& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
    for (const char* bad : {"", "   ", "<!-- only a comment -->", "<a></b>", "<a/><b/>", "<a/>tail", "not xml"}) {
        EXPECT_THROW(document->LoadText(bad), XmlError) << bad;
    }
    ASSERT_EQ(document->Root().ChildCount(), 2u);
    EXPECT_EQ(kept.Attribute("n"), "2");
    document->Clear();
    EXPECT_TRUE(document->IsEmpty());
    EXPECT_THROW(document->Root(), XmlError);
}

TEST(XmlDocument, OwnedTextParsesInPlaceLikeCopiedText) {
    const std::string texts[] = {
        "<list a=\"x&amp;y\"><item t=\"1\r\n2\"/>text &lt;here&gt;<![CDATA[c]]><!--n--></list>",
        "\xEF\xBB\xBF<?xml version='1.0' encoding='windows-1252'?><list a=\"\xC3\xA9\"/>",
        "<?xml version='1.0' encoding='windows-1252'?><list a=\"caf\xE9\"/>",
        Utf16(u"<list a=\"\u4E2D\"/>", false, true),
        "<l/>", // short enough to be stored inside the string object
    };
    for (const std::string& text : texts) {
        auto owned = CreateXmlDocument();
        owned->LoadOwnedText(std::string(text));
        EXPECT_EQ(owned->SaveText(), Parse(text)->SaveText());
    }
    // The parser writes into owned bytes; error positions still count the lines of the bytes as given.
    const std::string broken[] = {
        "<list>\n<item a=\"x&amp;&amp;\n\ny\"\r\n\r\n t=\"a\tb\"/>\n<item n=",
        "<list\n\n>\n<a>\r\n&lt;\r\n</b></list>",
        "<?xml version='1.0' encoding='windows-1252'?>\n<list a=\"\xE9\">\n<b></list>",
        "\n<list/>\n<list/>",
    };
    for (const std::string& text : broken) {
        auto owned = Parse("<kept/>");
        try {
            owned->LoadOwnedText(std::string(text));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const XmlError& e) {
            EXPECT_EQ(std::string(e.what()), ErrorOf(text));
        }
        EXPECT_EQ(owned->Root().Name(), "kept");
    }
}

TEST(XmlDocument, TextLoadedLaterIsParsedWhenFirstNeeded) {
    auto document = CreateXmlDocument();
    const std::string text = std::string(kTemplateDeclaration) + "<list><item n=\"1\"/><item n=\"2\"/></list>";
    document->LoadTextLater(std::string(text));
    EXPECT_FALSE(document->IsEmpty());
    EXPECT_EQ(document->SaveText(), text);
    ASSERT_EQ(document->Root().ChildCount(), 2u);
    EXPECT_EQ(document->Root().Child(1).Attribute("n"), "2");

    // Text that does not parse is reported when the tree is first needed, and the document is then empty.
    document->LoadTextLater("<list><item n=");
    EXPECT_FALSE(document->IsEmpty());
    EXPECT_THROW(document->Root(), XmlError);
    EXPECT_TRUE(document->IsEmpty());
    document->LoadTextLater("<a/><b/>");
    EXPECT_THROW(document->SaveText(), XmlError);
    EXPECT_TRUE(document->IsEmpty());

    // Loading or clearing replaces text not parsed yet.
    document->LoadTextLater("<later/>");
    document->LoadText("<now/>");
    EXPECT_EQ(document->Root().Name(), "now");
    document->LoadTextLater("<later/>");
    document->Clear();
    EXPECT_TRUE(document->IsEmpty());
    EXPECT_THROW(document->Root(), XmlError);
}

TEST(XmlDocument, TakingTheStorageEmptiesTheDocumentAndKeepsTheMemoryOfItsText) {
    const std::string text = "<list><item n=\"" + std::string(1000, 'x') + "\"/></list>";
    auto document = CreateXmlDocument();
    document->LoadOwnedText(std::string(text));
    std::string storage = document->TakeStorage();
    EXPECT_TRUE(document->IsEmpty());
    EXPECT_TRUE(storage.empty());
    EXPECT_GE(storage.capacity(), text.size());

    document->LoadTextLater(std::string(text));
    storage = document->TakeStorage();
    EXPECT_TRUE(document->IsEmpty());
    EXPECT_TRUE(storage.empty());
    EXPECT_GE(storage.capacity(), text.size());

    document->LoadText(text); // a copy: the document keeps no text of the caller's
    EXPECT_TRUE(document->TakeStorage().empty());
    EXPECT_TRUE(document->IsEmpty());
}

TEST(XmlDocument, SeveralAttributesAreFoundInOnePassAsOneByOne) {
    auto document = Parse("<list><item b=\"2\" a=\"1\" ab=\"x\" c=\"\"/><!-- a=\"1\" --></list>");
    const std::string_view names[] = {"a", "b", "c", "missing", "A", "ab"};
    for (std::size_t child : {0u, 1u}) {
        const IXmlNode& node = document->Root().Child(child);
        std::optional<std::string_view> values[std::size(names)];
        values[3] = "stale";
        node.FindAttributes(names, values);
        for (std::size_t i = 0; i < std::size(names); ++i) {
            EXPECT_EQ(values[i], node.FindAttribute(names[i])) << child << " " << names[i];
        }
    }
    std::optional<std::string_view> first[1];
    document->Root().Child(0).FindAttributes(names, first); // more names than room: only the first is looked up
    EXPECT_EQ(first[0], "1");
}

TEST(XmlDocument, SwappedDocumentsExchangeContentAndNodes) {
    auto parsed = CreateXmlDocument();
    parsed->LoadOwnedText("<a><x/></a>");
    IXmlNode& x = parsed->Root().Child(0);
    auto later = CreateXmlDocument();
    later->LoadTextLater("<b/>");
    parsed->Swap(*later);
    EXPECT_EQ(parsed->Root().Name(), "b");
    EXPECT_EQ(later->Root().Name(), "a");
    EXPECT_EQ(&later->Root().Child(0), &x);

    // The exchange through the text, for documents of different kinds.
    auto empty = CreateXmlDocument();
    empty->IXmlDocument::Swap(*later);
    EXPECT_TRUE(later->IsEmpty());
    EXPECT_EQ(empty->SaveText(), Parse("<a><x/></a>")->SaveText());
    parsed->IXmlDocument::Swap(*empty);
    EXPECT_EQ(parsed->Root().Name(), "a");
    EXPECT_EQ(empty->Root().Name(), "b");
}
