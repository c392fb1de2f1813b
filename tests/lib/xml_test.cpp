#include "lib/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/text.h"

namespace {

std::u16string ReadAll(std::string_view bytes) {
    CMemoryReaderSJIS reader(bytes);
    std::u16string out;
    for (char16_t c = reader.Next(); c != 0; c = reader.Next()) out += c;
    return out;
}

TEST(XmlReader, DecodesOneCp932CharacterPerCall) {
    const struct {
        std::string bytes;
        std::u16string chars;
    } cases[] = {
        {"a<\\~", u"a<\\~"},
        {"\x93\xFA\x96\x7B", u"日本"},
        {"\xB1\xDF", u"ｱﾟ"},
        {"a\x81", u"a"},                    // a lead byte as the last byte ends the input
        {"\x81\x20z", u"\uFFFDz"},          // a lead byte takes the next byte with it, even a bad trail
        {"\xA0z\xFDz", u"\uFFFDz\uFFFDz"},  // undefined single bytes
        {std::string("a\0b", 3), u"a"},     // a zero byte ends the input
    };
    for (const auto& c : cases) EXPECT_EQ(ReadAll(c.bytes), c.chars) << c.bytes;
}

// Records the events of a parse as one line; stops when a handler's turn comes up in stop_at.
class Recorder : public XmlHandlers {
public:
    explicit Recorder(int stop_at = -1) : stopAt_(stop_at) {}
    bool StartDocument() override { return Step("D"); }
    bool Text(std::u16string text) override { return Step("T:" + Utf16ToUtf8(text)); }
    bool StartElement(std::u16string name, std::vector<XmlAttribute> attributes) override {
        std::string event = "S:" + Utf16ToUtf8(name);
        for (const XmlAttribute& a : attributes) event += " " + Utf16ToUtf8(a.name) + "=" + Utf16ToUtf8(a.value);
        return Step(event);
    }
    bool EndElement() override { return Step("E"); }
    bool Comment(std::u16string text) override { return Step("C:" + Utf16ToUtf8(text)); }

    std::string events;

private:
    bool Step(const std::string& event) {
        events += (events.empty() ? "" : "|") + event;
        return count_++ != stopAt_;
    }
    int stopAt_;
    int count_ = 0;
};

struct EventCase {
    std::string document;
    std::string events;
    XmlResult result;
    int stop_at = -1;
};

TEST(XmlParser, EventsAndResults) {
    const EventCase cases[] = {
        {"<?xml v='1'?><a x='1' y=\"2\">t<!--c--><b/></a>", "D|C:xml v='1'?|S:a x=1 y=2|T:t|C:c|S:b|E|E",
         XmlResult::kDone},
        // Text before the root is not reported; text after it is, up to the next tag.
        {"lost<a>x</a>after<!--c-->tail", "D|S:a|T:x|E|T:after|C:c", XmlResult::kDone},
        {"<a><![CDATA[<x>]]]>&lt;]]></a>", "D|S:a|T:<x>]|T:<]]>|E", XmlResult::kDone},
        {"<a></b>", "D|S:a|E", XmlResult::kDone},  // end tags are not compared
        {"<a></ a>", "D|S:a|E", XmlResult::kDone},
        {"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", "D|S:a|E", XmlResult::kDone},
        {"<a>", "D|S:a", XmlResult::kSyntaxError},
        {"<a></a >", "D|S:a", XmlResult::kSyntaxError},
        {"<a></a></a>", "D|S:a|E", XmlResult::kSyntaxError},  // an end tag with nothing open
        {"</a>", "D", XmlResult::kSyntaxError},
        {"<a/><b/>", "D|S:a|E", XmlResult::kSyntaxError},  // a second top-level element
        {"<data-x/>", "D", XmlResult::kSyntaxError},       // '-' ends a name
        {"<a b=c/>", "D", XmlResult::kSyntaxError},
        {"<a b 'c'/>", "D", XmlResult::kSyntaxError},
        {"<a b='c/>", "D", XmlResult::kSyntaxError},
        {"<a/ >", "D", XmlResult::kSyntaxError},
        {"<a><!- x --></a>", "D|S:a", XmlResult::kSyntaxError},
        {"<a><!-- x</a>", "D|S:a", XmlResult::kSyntaxError},
        {"<a><![CDATA[x</a>", "D|S:a", XmlResult::kSyntaxError},
        {"<a><![DATA[x]]></a>", "D|S:a", XmlResult::kSyntaxError},
        {"<!ELEMENT a><a/>", "D", XmlResult::kSyntaxError},
        {"<!DOCTYPE [<!ENTITY e 'x'>]><a/>", "D", XmlResult::kSyntaxError},
        {"<!DOCTYPE a [<!FOO e 'x'>]><a/>", "D", XmlResult::kSyntaxError},
        {"<!DOCTYPE a [<!ENTITY e x>]><a/>", "D", XmlResult::kSyntaxError},
        {"<!DOCTYPE a [<!ENTITY e 'x'> x]><a/>", "D", XmlResult::kSyntaxError},
        {"<!DOCTYPE a [<!ENTITY e 'x'>]x><a/>", "D", XmlResult::kSyntaxError},
        {"<?pi", "D", XmlResult::kSyntaxError},
        {"<", "D", XmlResult::kSyntaxError},
        // A handler's false ends the parse with result 1 at any event.
        {"<a>t</a>", "D", XmlResult::kStopped, 0},
        {"<a>t</a>", "D|S:a|T:t", XmlResult::kStopped, 2},
        {"<a>t</a>", "D|S:a|T:t|E", XmlResult::kStopped, 3},
        {"<a/>", "D|S:a|E", XmlResult::kStopped, 2},
        {"<a><!--c--></a>", "D|S:a|C:c", XmlResult::kStopped, 2},
        {"<a><?p?></a>", "D|S:a|C:p?", XmlResult::kStopped, 2},
        {"<a><![CDATA[c]]></a>", "D|S:a|T:c", XmlResult::kStopped, 2},
    };
    for (const EventCase& c : cases) {
        CMemoryReaderSJIS reader(c.document);
        Recorder recorder(c.stop_at);
        XmlParser parser(reader, recorder, kXmlTrimLines);
        EXPECT_EQ(parser.Parse(), c.result) << c.document;
        EXPECT_EQ(recorder.events, c.events) << c.document;
    }
}

TEST(XmlParser, TextLinesAndEntities) {
    const struct {
        std::string document;
        std::u16string text;
        std::uint32_t flags = kXmlTrimLines;
    } cases[] = {
        {"<a>\n   Hello  \n\n  world \n</a>", u"Hello\nworld"},
        {"<a>\n   Hello  \n\n  world \n</a>", u"   Hello  \n  world \n", 0},
        {"<a>one\r\ntwo\rthree\t</a>", u"one\ntwo\rthree"},
        {"<a>&lt;b&gt;</a>", u"<b>"},
        {"<a>&amp;&quot;&apos;</a>", u"&\"'"},
        {"<a>&copy;&#65;</a>", u"??"},
        // A reference that meets '<', a line end, a quote or the end before its ';' stays text.
        {"<a>x & y</a>", u"x & y"},
        {"<a>a&b\nc;</a>", u"a&b\nc;"},
        {"<a>a&b\"c;</a>", u"a&b\"c;"},
        {"<a>&lt;&</a>", u"<&"},
        {"<!DOCTYPE a [ <!-- x --> <!ENTITY e \"one\"> <!ENTITY e 'two'> <!ENTITY amp 'X'> ]><a>&e;&amp;</a>", u"one&"},
        {"<!DOCTYPE a [<!ENTITY x '1&lt;'><!ENTITY y \"&x;&x;\">]><a>&y;</a>", u"1<1<"},
        {"<a>\x93\xFA<b/>\x96\x7B</a>", u"日本"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<XmlNode> root = ParseXml(c.document, c.flags);
        ASSERT_NE(root, nullptr) << c.document;
        EXPECT_EQ(root->GetText(), c.text) << c.document;
    }
}

TEST(XmlParser, AttributeValues) {
    const struct {
        std::string document;
        std::u16string value;
    } cases[] = {
        {"<a b=\"x y\"/>", u"x y"},
        {"<a  b = 'it\"s' />", u"it\"s"},
        {"<a b=\"x\ny\"/>", u""},  // broken by a line feed, carriage return or tab
        {"<a b=\"x\ry\"/>", u""},
        {"<a b=\"x\ty\"/>", u""},
        {"<a b=\"&lt;&none;\"/>", u"<?"},
        {"<a b=\"&x\"/>", u"&x"},
        {"<a b=\"1\" b=\"2\"/>", u"1"},                 // the first of duplicates
        {"<a \x93\xFA=\"1\" b=\"\x96\x7B\"/>", u"本"},  // every character from U+0100 on is a name character
    };
    for (const auto& c : cases) {
        std::unique_ptr<XmlNode> root = ParseXml(c.document);
        ASSERT_NE(root, nullptr) << c.document;
        const XmlAttribute* b = root->FindAttribute(u"b");
        EXPECT_EQ(b ? b->value : u"", c.value) << c.document;
    }
}

TEST(XmlTree, QueriesMatchNamesExactly) {
    std::unique_ptr<XmlNode> root = ParseXml("<r>x<sound n='1'/>y<sound n='2'>z</sound><Sound n='3'/></r>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->FindChild(u"Sound")->FindAttribute(u"n")->value, u"3");
    EXPECT_EQ(root->FindChild(u"sounds"), nullptr);
    EXPECT_EQ(root->FindChild(u""), nullptr);  // text children have no name to match
    const std::vector<const XmlNode*> sounds = root->FindChildren(u"sound");
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_EQ(sounds[1]->FindAttribute(u"n")->value, u"2");
    EXPECT_EQ(sounds[1]->GetText(), u"z");
    EXPECT_EQ(sounds[1]->parent, root.get());
    EXPECT_EQ(root->GetText(), u"xy");
    ASSERT_EQ(root->children.size(), 5u);
    EXPECT_EQ(root->children[0]->kind, XmlNode::kText);
}

// The line a parse ends on; a line feed pushed back and read again counts once.
TEST(XmlParser, ResultsAndLines) {
    const struct {
        std::string document;
        bool tree;
        std::int32_t line;
    } cases[] = {
        {"", false, 1},          {"just text\n", false, 2},   {"<?xml?><!-- only -->", false, 1},
        {"<a>\n\n<b", false, 3}, {"<a>\r\n\r\n<b", false, 3}, {"<a>\r\r<b", false, 3},
        {"<a/>\n", true, 2},     {"<a>\n<b\n", false, 3},
    };
    for (const auto& c : cases) {
        std::int32_t line = 0;
        EXPECT_EQ(ParseXml(c.document, kXmlTrimLines, &line) != nullptr, c.tree) << c.document;
        EXPECT_EQ(line, c.line) << c.document;
    }
}

TEST(XmlParser, TextAndExpansionAreBounded) {
    const std::string limit(kMaxXmlTextUnits, 'x');
    EXPECT_NE(ParseXml("<a>" + limit + "</a>"), nullptr);
    EXPECT_EQ(ParseXml("<a>" + limit + "x</a>"), nullptr);
    EXPECT_EQ(ParseXml("<a b='" + limit + "x'/>"), nullptr);
    EXPECT_EQ(ParseXml("<a>" + limit + "&lt;</a>"), nullptr);
    EXPECT_EQ(ParseXml("<a><!--" + limit + "x--></a>"), nullptr);
    // Ten levels of ten references each would make 10^10 characters.
    std::string nested = "<!DOCTYPE a [<!ENTITY e0 'xxxxxxxxxx'>";
    for (int level = 1; level < 10; ++level) {
        nested += "<!ENTITY e" + std::to_string(level) + " '";
        for (int i = 0; i < 10; ++i) nested += "&e" + std::to_string(level - 1) + ";";
        nested += "'>";
    }
    EXPECT_EQ(ParseXml(nested + "]><a>&e9;</a>"), nullptr);
    // Many attributes each under the limit: the document's expansions are counted together.
    std::string wide = "<!DOCTYPE a [<!ENTITY k '" + std::string(1 << 16, 'k') + "'>]><a";
    for (int i = 0; i < 15; ++i) wide += " v" + std::to_string(i) + "='&k;'";
    EXPECT_NE(ParseXml(wide + "/>"), nullptr);
    EXPECT_EQ(ParseXml(wide + " w='&k;&k;'/>"), nullptr);
}

TEST(XmlTree, DeepTreesAreFreedWithoutRecursion) {
    constexpr int kDepth = 300000;
    std::string open;
    for (int i = 0; i < kDepth; ++i) open += "<a>";
    std::string close;
    for (int i = 0; i < kDepth; ++i) close += "</a>";
    std::unique_ptr<XmlNode> root = ParseXml(open + "x" + close);
    ASSERT_NE(root, nullptr);
    const XmlNode* node = root.get();
    int depth = 1;
    while (const XmlNode* child = node->FindChild(u"a")) node = child, ++depth;
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(node->GetText(), u"x");
    root.reset();
    EXPECT_EQ(ParseXml(open), nullptr);  // the partial tree of a failed parse goes the same way
}

}  // namespace
