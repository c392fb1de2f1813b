// A small, forgiving reader for the game's Shift-JIS (CP932) configuration documents.
//
// CMemoryReaderSJIS turns the bytes into UTF-16 characters one at a time, XmlParser reads them
// and calls an XmlHandlers object for each event, and ParseXml builds an XmlNode tree from the
// events. The dialect is the one the game's documents are written in:
// - text is trimmed line by line (flags bit 0): leading and trailing blanks, tabs and line feeds
//   of every line go, and the lines left are joined with one line feed;
// - names are made of '0'-'9', 'a'-'z', 'A'-'Z', '_', ':' and every character from U+0100 on
//   ('-' and '.' end a name);
// - the entities are lt, gt, amp, quot, apos and those the DOCTYPE's internal subset declares (the
//   first declaration of a name wins); an unknown one reads as "?", and there are no numeric
//   references. An '&' whose ';' does not come before '<', a line end, a quote or the end of input
//   stays literal text;
// - an attribute value broken by a line feed, carriage return or tab reads as empty;
// - end tags are not compared with the element they close.
// Beyond that the reader refuses what would leave the tree ill-formed: an end tag without an open
// element, a second top-level element, and any text, value or entity expansion larger than
// kMaxXmlTextUnits.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The largest text, attribute value or entity value, and the most characters entity references
// may produce in one document, in UTF-16 units.
inline constexpr std::size_t kMaxXmlTextUnits = std::size_t{1} << 20;

// The largest document a loader hands to the reader, in bytes. The game's documents are a few
// KB; a tree takes some forty times its document in memory (a node for every "<a/>"), so a
// damaged or hostile document must be refused before it is read, not when memory runs out.
inline constexpr std::size_t kMaxXmlDocumentBytes = std::size_t{1} << 20;

namespace XML {

// A source of UTF-16 characters; Next returns 0 at the end of input.
class IReader {
public:
    virtual ~IReader() = default;
    virtual char16_t Next() = 0;
};

}  // namespace XML

// Reads CP932 bytes from memory, one character per call: a lead byte and the byte after it give
// one character (U+FFFD when the pair is not a CP932 character); a lead byte as the very last byte
// ends the input, as does a zero byte.
class CMemoryReaderSJIS final : public XML::IReader {
public:
    explicit CMemoryReaderSJIS(std::string_view bytes)
        : cursor_(reinterpret_cast<const unsigned char*>(bytes.data())), remaining_(bytes.size()) {}
    char16_t Next() override;

private:
    const unsigned char* cursor_;
    std::size_t remaining_;
};

struct XmlAttribute {
    std::u16string name;
    std::u16string value;
};

// One node of the tree: an element (name, attributes, children) or a text. A node owns its
// children; destroying a node frees its whole subtree without recursion, however deep, and
// without allocating (so also while memory is exhausted).
struct XmlNode {
    enum Kind : std::int32_t { kElement = 0, kText = 1 };

    XmlNode* parent = nullptr;
    Kind kind = kElement;
    std::u16string name;                             // empty for a text
    std::vector<XmlAttribute> attributes;            // document order; duplicates stay
    std::vector<std::unique_ptr<XmlNode>> children;  // elements and texts in document order
    std::u16string text;                             // the text of a text node

    XmlNode() = default;
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;
    ~XmlNode();

    // Names compare exactly, case-sensitively.
    const XmlNode* FindChild(std::u16string_view child_name) const;
    std::vector<const XmlNode*> FindChildren(std::u16string_view child_name) const;
    const XmlAttribute* FindAttribute(std::u16string_view attribute_name) const;
    // The texts of the text children, joined in order.
    std::u16string GetText() const;
};

// The events of a parse; a handler returning false stops the parse (result kStopped).
class XmlHandlers {
public:
    virtual ~XmlHandlers() = default;
    virtual bool StartDocument() = 0;
    virtual bool Text(std::u16string text) = 0;
    virtual bool StartElement(std::u16string name, std::vector<XmlAttribute> attributes) = 0;
    virtual bool EndElement() = 0;
    virtual bool Comment(std::u16string text) = 0;  // comments and processing instructions
};

enum class XmlResult : std::int32_t { kDone = 0, kStopped = 1, kSyntaxError = 2 };

// Flags of a parse: bit 0 trims the text line by line (every caller sets it).
inline constexpr std::uint32_t kXmlTrimLines = 1;

class XmlParser {
public:
    XmlParser(XML::IReader& reader, XmlHandlers& handlers, std::uint32_t flags)
        : reader_(reader), handlers_(handlers), flags_(flags) {}
    XmlResult Parse();
    // The line the parse stopped on (1 is the first).
    std::int32_t line() const { return line_; }

private:
    enum class State { kTag, kContent, kInternalSubset };

    char16_t Get();
    void PushBack(char16_t c);
    void SkipSpaces();
    std::u16string ReadName();
    // The appending steps return false when a text would grow past kMaxXmlTextUnits.
    bool Append(std::u16string& out, std::u16string_view more);
    bool AppendReference(std::u16string& out);  // after the '&'
    bool ReadQuoted(char16_t quote, std::u16string& value);
    bool ReadUntil(std::u16string_view end, std::u16string& text);
    bool ReadCData(std::u16string& text);
    bool FlushLine();

    // Each step reads one piece in its state; a result ends the parse.
    std::optional<XmlResult> Content();
    std::optional<XmlResult> Tag();
    std::optional<XmlResult> Declaration();
    std::optional<XmlResult> EndTag();
    std::optional<XmlResult> StartTag();
    std::optional<XmlResult> InternalSubset();
    std::optional<XmlResult> LeaveTag(std::int32_t closed);

    XML::IReader& reader_;
    XmlHandlers& handlers_;
    std::uint32_t flags_;
    std::int32_t line_ = 1;
    std::vector<char16_t> pushback_;
    std::unordered_map<std::u16string, std::u16string> entities_;  // the first definition of a name wins
    State state_ = State::kContent;
    std::int32_t depth_ = 0;  // open elements, plus one while a tag is being read
    bool elementSeen_ = false;
    std::u16string textBuffer_;
    std::u16string lineText_;
    std::size_t expanded_ = 0;  // units entity references produced so far
};

// Parses a CP932 document into a tree; null on a syntax error or when no element was read. A
// parse stopped by a handler still gives its tree. error_line, when given, receives the line the
// parse ended on.
std::unique_ptr<XmlNode> ParseXml(std::string_view bytes, std::uint32_t flags = kXmlTrimLines,
                                  std::int32_t* error_line = nullptr);
