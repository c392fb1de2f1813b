#include "lib/xml.h"

#include <algorithm>

#include "lib/text.h"
#include "lib/text_field.h"

// ---- Character source ----

char16_t CMemoryReaderSJIS::Next() {
    if (remaining_ == 0) return 0;
    const unsigned char byte = *cursor_;
    // A two-byte character is converted as a whole; its lead byte alone at the end ends the input.
    const std::size_t width = IsCp932LeadByte(byte) ? 2 : 1;
    if (remaining_ < width || byte == 0) {
        remaining_ = 0;
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(cursor_), width);
    cursor_ += width;
    remaining_ -= width;
    if (byte < 0x80) return byte;
    const std::u16string unit = Cp932ToUtf16(bytes);
    return unit.size() == 1 ? unit[0] : u'\uFFFD';
}

// ---- Tree ----

namespace {

// Moves every node of `nodes` onto the chain of nodes waiting to be freed, linked through their
// parent fields, which nothing reads once the tree goes.
void DetachOnto(XmlNode*& chain, std::vector<std::unique_ptr<XmlNode>>& nodes) noexcept {
    for (std::unique_ptr<XmlNode>& node : nodes) {
        XmlNode* detached = node.release();
        detached->parent = chain;
        chain = detached;
    }
    nodes.clear();
}

}  // namespace

XmlNode::~XmlNode() {
    // The subtree is freed node by node from a chain threaded through the nodes themselves: a
    // recursive destruction of a deeply nested document would exhaust the stack, and a work list
    // would have to grow, which fails when memory has run out (the half-built tree of a document
    // too big for memory goes this way) and would end the program inside a destructor. Each
    // node hands its children on before it is deleted, so its own destructor finds none.
    XmlNode* chain = nullptr;
    DetachOnto(chain, children);
    while (chain) {
        XmlNode* node = chain;
        chain = node->parent;
        DetachOnto(chain, node->children);
        delete node;
    }
}

const XmlNode* XmlNode::FindChild(std::u16string_view child_name) const {
    for (const std::unique_ptr<XmlNode>& child : children)
        if (child->kind == kElement && child->name == child_name) return child.get();
    return nullptr;
}

std::vector<const XmlNode*> XmlNode::FindChildren(std::u16string_view child_name) const {
    std::vector<const XmlNode*> found;
    for (const std::unique_ptr<XmlNode>& child : children)
        if (child->kind == kElement && child->name == child_name) found.push_back(child.get());
    return found;
}

const XmlAttribute* XmlNode::FindAttribute(std::u16string_view attribute_name) const {
    for (const XmlAttribute& attribute : attributes)
        if (attribute.name == attribute_name) return &attribute;
    return nullptr;
}

std::u16string XmlNode::GetText() const {
    std::u16string text;
    for (const std::unique_ptr<XmlNode>& child : children)
        if (child->kind == kText) text += child->text;
    return text;
}

// ---- Parser ----

namespace {

bool IsNameChar(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' ||
           c >= 0x100;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }
bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

// Characters that end an entity reference that has not met its ';': the reference stays text.
bool EndsReference(char16_t c) { return c == 0 || c == u'<' || c == u'\n' || c == u'\r' || IsQuote(c); }

std::u16string_view Trim(std::u16string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlank).base();
    return first < last ? std::u16string_view(first, last) : std::u16string_view();
}

}  // namespace

char16_t XmlParser::Get() {
    char16_t c;
    if (!pushback_.empty()) {
        c = pushback_.back();
        pushback_.pop_back();
    } else {
        c = reader_.Next();
    }
    // A carriage return joins the line feed right after it in the input; the character after a
    // lone one waits on the stack (it has not been counted yet).
    if (c == u'\r' && pushback_.empty()) {
        const char16_t next = reader_.Next();
        if (next == u'\n')
            c = u'\n';
        else
            pushback_.push_back(next);
    }
    if (c == u'\n' || c == u'\r') ++line_;
    return c;
}

void XmlParser::PushBack(char16_t c) {
    pushback_.push_back(c);
    if (c == u'\n' || c == u'\r') --line_;
}

void XmlParser::SkipSpaces() {
    char16_t c;
    do c = Get();
    while (IsSpace(c));
    PushBack(c);
}

std::u16string XmlParser::ReadName() {
    std::u16string name;
    for (char16_t c = Get();; c = Get()) {
        if (!IsNameChar(c)) {
            PushBack(c);
            return name;
        }
        name += c;
    }
}

bool XmlParser::Append(std::u16string& out, std::u16string_view more) {
    if (out.size() + more.size() > kMaxXmlTextUnits) return false;
    out += more;
    return true;
}

bool XmlParser::AppendReference(std::u16string& out) {
    std::u16string name;
    for (char16_t c = Get(); c != u';'; c = Get()) {
        if (EndsReference(c)) {
            PushBack(c);
            return Append(out, u"&") && Append(out, name);
        }
        name += c;
    }
    const auto entity = entities_.find(name);
    const std::u16string_view value = entity != entities_.end() ? std::u16string_view(entity->second) : u"?";
    // Declarations may nest references: the total they produce is bounded, not just each text.
    expanded_ += value.size();
    return expanded_ <= kMaxXmlTextUnits && Append(out, value);
}

bool XmlParser::ReadQuoted(char16_t quote, std::u16string& value) {
    value.clear();
    bool broken = false;
    for (char16_t c = Get(); c != quote; c = Get()) {
        if (c == 0) return false;
        if (c == u'\n' || c == u'\r' || c == u'\t')
            broken = true;
        else if (c == u'&' ? !AppendReference(value) : !Append(value, std::u16string_view(&c, 1)))
            return false;
    }
    if (broken) value.clear();
    return true;
}

bool XmlParser::ReadUntil(std::u16string_view end, std::u16string& text) {
    text.clear();
    while (!text.ends_with(end)) {
        const char16_t c = Get();
        if (c == 0 || !Append(text, std::u16string_view(&c, 1))) return false;
    }
    text.resize(text.size() - end.size());
    return true;
}

bool XmlParser::FlushLine() {
    bool ok = true;
    if (flags_ & kXmlTrimLines) {
        const std::u16string_view line = Trim(lineText_);
        if (!line.empty()) ok = (textBuffer_.empty() || Append(textBuffer_, u"\n")) && Append(textBuffer_, line);
    } else if (!std::all_of(lineText_.begin(), lineText_.end(), IsBlank)) {
        ok = Append(textBuffer_, lineText_);
    }
    lineText_.clear();
    return ok;
}

std::optional<XmlResult> XmlParser::Content() {
    const char16_t c = Get();
    switch (c) {
        case 0: return depth_ == 0 ? XmlResult::kDone : XmlResult::kSyntaxError;
        case u'&':
            if (!AppendReference(lineText_)) return XmlResult::kSyntaxError;
            return std::nullopt;
        case u'\n':
            if (!(flags_ & kXmlTrimLines)) lineText_ += c;
            if (!FlushLine()) return XmlResult::kSyntaxError;
            return std::nullopt;
        case u'<':
            if (!FlushLine()) return XmlResult::kSyntaxError;
            // Text before the first element belongs to no element and is not reported.
            if (elementSeen_ && !textBuffer_.empty() && !handlers_.Text(std::move(textBuffer_)))
                return XmlResult::kStopped;
            textBuffer_.clear();
            ++depth_;
            state_ = State::kTag;
            return std::nullopt;
        default:
            if (!Append(lineText_, std::u16string_view(&c, 1))) return XmlResult::kSyntaxError;
            return std::nullopt;
    }
}

// The tag has been read: back to content with closed fewer levels open.
std::optional<XmlResult> XmlParser::LeaveTag(std::int32_t closed) {
    depth_ -= closed;
    state_ = State::kContent;
    return std::nullopt;
}

std::optional<XmlResult> XmlParser::Tag() {
    const char16_t c = Get();
    std::u16string text;
    switch (c) {
        case 0: return XmlResult::kSyntaxError;
        case u'?':
            if (!ReadUntil(u">", text)) return XmlResult::kSyntaxError;
            if (!handlers_.Comment(std::move(text))) return XmlResult::kStopped;
            return LeaveTag(1);
        case u'!': return Declaration();
        case u'/': return EndTag();
        default: PushBack(c); return StartTag();
    }
}

std::optional<XmlResult> XmlParser::Declaration() {
    const char16_t c = Get();
    std::u16string text;
    if (c == u'-') {
        if (Get() != u'-' || !ReadUntil(u"-->", text)) return XmlResult::kSyntaxError;
        if (!handlers_.Comment(std::move(text))) return XmlResult::kStopped;
        return LeaveTag(1);
    }
    if (c == u'[') {
        if (ReadName() != u"CDATA" || Get() != u'[' || !ReadCData(text)) return XmlResult::kSyntaxError;
        if (!handlers_.Text(std::move(text))) return XmlResult::kStopped;
        return LeaveTag(1);
    }
    PushBack(c);
    if (ReadName() != u"DOCTYPE") return XmlResult::kSyntaxError;
    SkipSpaces();
    if (ReadName().empty()) return XmlResult::kSyntaxError;
    // An external identifier is skipped; '[' opens the internal subset, '>' ends a DOCTYPE without one.
    for (char16_t d = Get();; d = Get()) {
        if (d == 0) return XmlResult::kSyntaxError;
        if (d == u'>') return LeaveTag(1);
        if (d == u'[') {
            state_ = State::kInternalSubset;
            return std::nullopt;
        }
    }
}

bool XmlParser::ReadCData(std::u16string& text) {
    std::size_t brackets = 0;  // ']' read and not yet known to be text
    for (char16_t c = Get();; c = Get()) {
        if (c == 0) return false;
        if (c == u']') {
            ++brackets;
            continue;
        }
        if (c == u'>' && brackets >= 2) return Append(text, std::u16string(brackets - 2, u']'));
        if (!Append(text, std::u16string(brackets, u']'))) return false;
        brackets = 0;
        if (c == u'&' ? !AppendReference(text) : !Append(text, std::u16string_view(&c, 1))) return false;
    }
}

std::optional<XmlResult> XmlParser::EndTag() {
    SkipSpaces();
    if (ReadName().empty() || Get() != u'>') return XmlResult::kSyntaxError;
    // depth_ counts this tag's '<' too: below 2 no element is open to close.
    if (depth_ < 2) return XmlResult::kSyntaxError;
    if (!handlers_.EndElement()) return XmlResult::kStopped;
    return LeaveTag(2);
}

std::optional<XmlResult> XmlParser::StartTag() {
    SkipSpaces();
    std::u16string name = ReadName();
    if (name.empty()) return XmlResult::kSyntaxError;
    // A document has one top-level element.
    if (elementSeen_ && depth_ == 1) return XmlResult::kSyntaxError;
    std::vector<XmlAttribute> attributes;
    for (;;) {
        SkipSpaces();
        const char16_t c = Get();
        if (IsNameChar(c)) {
            PushBack(c);
            XmlAttribute attribute{ReadName(), {}};
            SkipSpaces();
            if (Get() != u'=') return XmlResult::kSyntaxError;
            SkipSpaces();
            const char16_t quote = Get();
            if (!IsQuote(quote) || !ReadQuoted(quote, attribute.value)) return XmlResult::kSyntaxError;
            attributes.push_back(std::move(attribute));
            continue;
        }
        const bool empty = c == u'/';
        if (empty && Get() != u'>') return XmlResult::kSyntaxError;
        if (!empty && c != u'>') return XmlResult::kSyntaxError;
        elementSeen_ = true;
        if (!handlers_.StartElement(std::move(name), std::move(attributes))) return XmlResult::kStopped;
        if (!empty) return LeaveTag(0);
        if (!handlers_.EndElement()) return XmlResult::kStopped;
        return LeaveTag(1);
    }
}

std::optional<XmlResult> XmlParser::InternalSubset() {
    SkipSpaces();
    const char16_t c = Get();
    if (c == u']') {
        SkipSpaces();
        if (Get() != u'>') return XmlResult::kSyntaxError;
        return LeaveTag(1);
    }
    if (c != u'<' || Get() != u'!') return XmlResult::kSyntaxError;
    const char16_t d = Get();
    if (d == u'-') {
        std::u16string comment;
        return ReadUntil(u">", comment) ? std::nullopt : std::optional(XmlResult::kSyntaxError);
    }
    PushBack(d);
    if (ReadName() != u"ENTITY") return XmlResult::kSyntaxError;
    SkipSpaces();
    std::u16string name = ReadName();
    SkipSpaces();
    const char16_t quote = Get();
    std::u16string value;
    if (name.empty() || !IsQuote(quote) || !ReadQuoted(quote, value)) return XmlResult::kSyntaxError;
    SkipSpaces();
    if (Get() != u'>') return XmlResult::kSyntaxError;
    entities_.emplace(std::move(name), std::move(value));  // keeps an earlier definition
    return std::nullopt;
}

XmlResult XmlParser::Parse() {
    entities_ = {{u"lt", u"<"}, {u"gt", u">"}, {u"amp", u"&"}, {u"quot", u"\""}, {u"apos", u"'"}};
    line_ = 1;
    if (!handlers_.StartDocument()) return XmlResult::kStopped;
    for (;;) {
        std::optional<XmlResult> result;
        switch (state_) {
            case State::kContent: result = Content(); break;
            case State::kTag: result = Tag(); break;
            case State::kInternalSubset: result = InternalSubset(); break;
        }
        if (result) return *result;
    }
}

// ---- Tree builder ----

namespace {

class TreeBuilder final : public XmlHandlers {
public:
    bool StartDocument() override { return true; }
    bool Text(std::u16string text) override {
        if (!open_) return true;  // outside every element
        auto node = std::make_unique<XmlNode>();
        node->parent = open_;
        node->kind = XmlNode::kText;
        node->text = std::move(text);
        open_->children.push_back(std::move(node));
        return true;
    }
    // The parser reports one top-level element and no end tag without an open element, so an
    // element after the root always has an open parent.
    bool StartElement(std::u16string name, std::vector<XmlAttribute> attributes) override {
        auto node = std::make_unique<XmlNode>();
        node->name = std::move(name);
        node->attributes = std::move(attributes);
        XmlNode* added = node.get();
        if (!root_) {
            root_ = std::move(node);
        } else {
            node->parent = open_;
            open_->children.push_back(std::move(node));
        }
        open_ = added;
        return true;
    }
    bool EndElement() override {
        open_ = open_->parent;
        return true;
    }
    bool Comment(std::u16string) override { return true; }

    std::unique_ptr<XmlNode> TakeRoot() { return std::move(root_); }

private:
    std::unique_ptr<XmlNode> root_;
    XmlNode* open_ = nullptr;
};

}  // namespace

std::unique_ptr<XmlNode> ParseXml(std::string_view bytes, std::uint32_t flags, std::int32_t* error_line) {
    CMemoryReaderSJIS reader(bytes);
    TreeBuilder builder;
    XmlParser parser(reader, builder, flags);
    const XmlResult result = parser.Parse();
    if (error_line) *error_line = parser.line();
    if (result == XmlResult::kSyntaxError) return nullptr;
    return builder.TakeRoot();
}
