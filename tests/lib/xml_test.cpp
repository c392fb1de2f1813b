#include "lib/xml.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "lib/text.h"
#include "support/child_peak.h"

namespace {

// A lead byte takes the next byte with it, even a bad trail, and ends the input when it is the last
// byte; undefined single bytes become U+FFFD; a zero byte ends the input.
TEST(XmlReader, DecodesOneCp932CharacterPerCall) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"a<\\~", u"a<\\~"},       {"\x93\xFA\x96\x7B", u"日本"},     {"\xB1\xDF", u"ｱﾟ"},           {"a\x81", u"a"},
        {"\x81\x20z", u"\uFFFDz"}, {"\xA0z\xFDz", u"\uFFFDz\uFFFDz"}, {std::string("a\0b", 3), u"a"}};
    for (const auto& [bytes, chars] : cases) {
        CMemoryReaderSJIS reader(bytes);
        std::u16string out;
        for (char16_t c = reader.Next(); c != 0; c = reader.Next()) out += c;
        EXPECT_EQ(out, chars) << bytes;
    }
}

// Records the events of a parse as one line; the handler whose turn is stop_at returns false.
class Recorder : public XmlHandlers {
public:
    explicit Recorder(int stop_at) : stopAt_(stop_at) {}
    bool StartDocument() override { return Step("D"); }
    bool Text(std::u16string text) override { return Step("T:" + Utf16ToUtf8(text)); }
    bool StartElement(std::u16string tag, std::vector<XmlAttribute>) override { return Step("S:" + Utf16ToUtf8(tag)); }
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

TEST(XmlParser, EventsAndResults) {
    constexpr XmlResult kDone = XmlResult::kDone, kStop = XmlResult::kStopped;
    const struct {
        std::string document;
        std::string events;
        XmlResult result;
        int stop_at = -1;
    } cases[] = {
        {"<?xml v='1'?><a x='1' y=\"2\">t<!--c--><b/></a>", "D|C:xml v='1'?|S:a|T:t|C:c|S:b|E|E", kDone},
        // Text before the root is not reported; text after it is, up to the next tag.
        {"lost<a>x</a>after<!--c-->tail", "D|S:a|T:x|E|T:after|C:c", kDone},
        {"<a><![CDATA[<x>]]]>&lt;]]></a>", "D|S:a|T:<x>]|T:<]]>|E", kDone},
        {"<a></b>", "D|S:a|E", kDone},  // end tags are not compared
        {"<a></ a>", "D|S:a|E", kDone},
        {"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", "D|S:a|E", kDone},
        // A handler's false ends the parse at any event.
        {"<a>t</a>", "D", kStop, 0},
        {"<a>t</a>", "D|S:a|T:t", kStop, 2},
        {"<a>t</a>", "D|S:a|T:t|E", kStop, 3},
        {"<a/>", "D|S:a|E", kStop, 2},
        {"<a><!--c--></a>", "D|S:a|C:c", kStop, 2},
        {"<a><?p?></a>", "D|S:a|C:p?", kStop, 2},
        {"<a><![CDATA[c]]></a>", "D|S:a|T:c", kStop, 2},
    };
    for (const auto& c : cases) {
        CMemoryReaderSJIS reader(c.document);
        Recorder recorder(c.stop_at);
        XmlParser parser(reader, recorder, kXmlTrimLines);
        EXPECT_EQ(parser.Parse(), c.result) << c.document;
        EXPECT_EQ(recorder.events, c.events) << c.document;
    }
    // Malformed: unclosed, a bad end tag, an end tag with nothing open, a second top-level element,
    // '-' (which ends a name), bad attributes, comments, sections and declarations.
    const std::string malformed[] = {
        "<a>",           "<a></a >",          "<a></a></a>",         "<a/><b/>", "<data-x/>",
        "<a b=c/>",      "<a b 'c'/>",        "<a b='c/>",           "<a/ >",    "<a><!- x --></a>",
        "<a><!-- x</a>", "<a><![CDATA[x</a>", "<a><![DATA[x]]></a>", "<?pi",     "<"};
    for (const std::string& document : malformed) EXPECT_EQ(ParseXml(document), nullptr) << document;
    const std::string declarations[] = {"ELEMENT a",
                                        "DOCTYPE [<!ENTITY e 'x'>]",
                                        "DOCTYPE a [<!FOO e 'x'>]",
                                        "DOCTYPE a [<!ENTITY e x>]",
                                        "DOCTYPE a [<!ENTITY e 'x'> x]",
                                        "DOCTYPE a [<!ENTITY e 'x'>]x"};
    for (const std::string& declaration : declarations)
        EXPECT_EQ(ParseXml("<!" + declaration + "><a/>"), nullptr) << declaration;
}

// The root's attribute b when it has one, else its text.
TEST(XmlParser, TextAttributesAndEntities) {
    const struct {
        std::string document;
        std::u16string value;
        std::uint32_t flags = kXmlTrimLines;
    } cases[] = {
        {"<a>\n   Hello  \n\n  world \n</a>", u"Hello\nworld"},
        {"<a>\n   Hello  \n\n  world \n</a>", u"   Hello  \n  world \n", 0},
        {"<a>one\r\ntwo\rthree\t</a>", u"one\ntwo\rthree"},
        {"<a>&lt;&gt;&amp;&quot;&apos;&copy;&#65;</a>", u"<>&\"'??"},
        // A reference that meets '<', a line end, a quote or the end before its ';' stays text.
        {"<a>a&b\nc;</a>", u"a&b\nc;"},
        {"<a>a&b\"c;</a>", u"a&b\"c;"},
        {"<a>&lt;&</a>", u"<&"},
        {"<!DOCTYPE a [ <!-- x --> <!ENTITY e \"one\"> <!ENTITY e 'two'> <!ENTITY amp 'X'> ]><a>&e;&amp;</a>", u"one&"},
        {"<!DOCTYPE a [<!ENTITY x '1&lt;'><!ENTITY y \"&x;&x;\">]><a>&y;</a>", u"1<1<"},
        // A comment in the internal subset ends at the next '>', whatever comes before it.
        {"<!DOCTYPE a [<!-- no end mark ><!ENTITY e 'one'>]><a>&e;</a>", u"one"},
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
        std::unique_ptr<XmlNode> root = ParseXml(c.document, c.flags);
        ASSERT_NE(root, nullptr) << c.document;
        const XmlAttribute* b = root->FindAttribute(u"b");
        EXPECT_EQ(b ? b->value : root->GetText(), c.value) << c.document;
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
    EXPECT_EQ(sounds[1]->parent, root.get());
    EXPECT_EQ(root->GetText(), u"xy");
}

// The line a parse ends on; a line feed pushed back and read again counts once.
TEST(XmlParser, ResultsAndLines) {
    const std::tuple<std::string, bool, std::int32_t> cases[] = {
        {"", false, 1},          {"just text\n", false, 2},   {"<?xml?><!-- only -->", false, 1},
        {"<a>\n\n<b", false, 3}, {"<a>\r\n\r\n<b", false, 3}, {"<a>\r\r<b", false, 3},
        {"<a/>\n", true, 2},     {"<a>\n<b\n", false, 3},
    };
    for (const auto& [document, tree, line] : cases) {
        std::int32_t ended = 0;
        EXPECT_EQ(ParseXml(document, kXmlTrimLines, &ended) != nullptr, tree) << document;
        EXPECT_EQ(ended, line) << document;
    }
}

TEST(XmlParser, TextAndExpansionAreBounded) {
    const std::string limit(kMaxXmlTextUnits, 'x');
    EXPECT_NE(ParseXml("<a>" + limit + "</a>"), nullptr);
    for (const std::string& over : {"<a>" + limit + "x</a>", "<a b='" + limit + "x'/>", "<a>" + limit + "&lt;</a>",
                                    "<a><!--" + limit + "x--></a>"})
        EXPECT_EQ(ParseXml(over), nullptr);
    // Many attributes each under the limit: the document's expansions are counted together, so that
    // nested declarations cannot multiply a few bytes into gigabytes.
    std::string wide = "<!DOCTYPE a [<!ENTITY k '" + std::string(1 << 16, 'k') + "'>]><a";
    for (int i = 0; i < 15; ++i) wide += " v" + std::to_string(i) + "='&k;'";
    EXPECT_NE(ParseXml(wide + "/>"), nullptr);
    EXPECT_EQ(ParseXml(wide + " w='&k;&k;'/>"), nullptr);
}

// Takes every byte the process may still allocate: the address space is held at its size now,
// and blocks are taken, large to small, until none is left. They are chained through themselves,
// so that holding them needs no memory, and never freed: the process ends soon after.
void ExhaustMemory() {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    ::setrlimit(RLIMIT_AS, &limit);
    void* volatile chain = nullptr;  // volatile: the compiler may drop allocations nothing reads
    for (std::size_t size = 1 << 20; size >= sizeof(void*); size /= 2) {
        while (void* block = std::malloc(size)) {
            *static_cast<void**>(block) = chain;
            chain = block;
        }
    }
}

// A tree is freed when memory has run out (the half-built tree of a document too big for memory
// goes while the error unwinds), so freeing one must take none: an allocation failing inside the
// destructor would end the program.
TEST(XmlTree, FreeingATreeTakesNoMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator does not run out under an address-space limit";
#endif
    // Children below children, so that a list of the nodes still to free would have to grow.
    std::string document = "<r><s>";
    for (int i = 0; i < 1000; ++i) document += "<a><b/></a>";
    document += "</s></r>";
    EXPECT_GE(testsupport::ChildPeakMiB([&] {
                  std::unique_ptr<XmlNode> root = ParseXml(document);
                  ExhaustMemory();
                  root.reset();
                  return true;
              }),
              0);
}

TEST(XmlTree, DeepTreesAreFreedWithoutRecursion) {
    constexpr int kDepth = 300000;
    std::string open, close;
    for (int i = 0; i < kDepth; ++i) open += "<a>", close += "</a>";
    EXPECT_NE(ParseXml(open + close), nullptr);
    EXPECT_EQ(ParseXml(open), nullptr);  // the partial tree of a failed parse goes the same way
}

}  // namespace
