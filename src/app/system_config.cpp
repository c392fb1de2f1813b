#include "app/system_config.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "archive/archive.h"
#include "lib/error.h"
#include "lib/text_field.h"
#include "lib/xml.h"

SystemConfigRecord SystemConfig;

namespace {

constexpr std::u16string_view kSource = u"app/system_config";

[[noreturn]] void ThrowMissing(std::u16string_view what, std::u16string_view path) {
    ThrowError(kSource, __LINE__, 0, 0, u"config.xml: missing %s \"%s\".", what, path);
}

// The document was not read: missing, or there and unreadable (too large, not a file, damaged).
[[noreturn]] void ThrowUnread(IArchive& archive) {
    if (!archive.Exists(u"config.xml"))
        ThrowError(kSource, __LINE__, 0, 0, u"config.xml: not found in the script archive.");
    ThrowError(kSource, __LINE__, 0, 0, u"config.xml: the file %s.",
               DescribeEntryError(archive, u"config.xml", kMaxXmlDocumentBytes));
}

bool IsScanSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// An optionally signed decimal number at pos, after white space, read as the C library's scan
// and string-to-integer conversions read it; nullopt, with pos unchanged, when no digit follows.
// A value beyond 32 bits is held at the nearest limit.
std::optional<std::int32_t> ScanDecimal(std::u16string_view text, std::size_t& pos) {
    std::size_t at = pos;
    while (at < text.size() && IsScanSpace(text[at])) ++at;
    const bool negative = at < text.size() && text[at] == u'-';
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) ++at;
    const std::size_t digits = at;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
        value = std::min(value * 10 + (text[at] - u'0'), kLimit);
    if (at == digits) return std::nullopt;
    pos = at;
    if (negative) value = -value;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), kLimit - 1));
}

void ReadPositions(const XmlNode& system, std::u16string_view layer, std::vector<CharPosition>& table) {
    const std::u16string path = FormatString(u"system/%s", layer);
    const std::u16string pos_path = path + u"/pos";
    table.clear();
    for (const XmlNode* pos : ConfigElement(system, layer, path).FindChildren(u"pos")) {
        const std::u16string& name = ConfigAttribute(*pos, u"name", pos_path + u"@name");
        const std::u16string& x = ConfigAttribute(*pos, u"x", pos_path + u"@x");
        std::int32_t value = 0;
        ScanConfigNumbers(x, {&value, 1});
        table.push_back({name.empty() ? char16_t{0} : UpperCasePositionCode(name[0]), value});
    }
}

}  // namespace

char16_t UpperCasePositionCode(char16_t c) {
    // Every lower-case letter that CP932 holds, each with its capital at a fixed distance.
    struct Range {
        char16_t first, last, capital_of_first;
    };
    static constexpr Range kLowerCase[] = {
        {u'a', u'z', u'A'},                 // Latin
        {u'ａ', u'ｚ', u'Ａ'},              // full-width Latin
        {u'\u03B1', u'\u03C1', u'\u0391'},  // Greek alpha to rho
        {u'\u03C3', u'\u03C9', u'\u03A3'},  // Greek sigma to omega (final sigma is not in CP932)
        {u'\u0430', u'\u044F', u'\u0410'},  // Cyrillic a to ya
        {u'\u0451', u'\u0451', u'\u0401'},  // Cyrillic yo
        {u'\u2170', u'\u2179', u'\u2160'},  // small Roman numerals one to ten
    };
    for (const Range& range : kLowerCase)
        if (c >= range.first && c <= range.last) return static_cast<char16_t>(c - range.first + range.capital_of_first);
    return c;
}

std::unique_ptr<XmlNode> LoadConfigDocument(IArchive& script_archive) {
    std::int32_t line = 0;
    std::unique_ptr<XmlNode> root = CatchOutOfMemory(kSource, __LINE__, u"config.xml", [&] {
        // The size is checked before anything is read: the tree takes many times its document.
        const std::optional<std::string> text = LoadArchiveText(script_archive, u"config.xml", kMaxXmlDocumentBytes);
        if (!text) ThrowUnread(script_archive);
        return ParseXml(*text, kXmlTrimLines, &line);
    });
    if (!root) ThrowError(kSource, __LINE__, 0, 0, u"config.xml: not a readable document (line %d).", line);
    return root;
}

const XmlNode& ConfigElement(const XmlNode& parent, std::u16string_view name, std::u16string_view path) {
    const XmlNode* element = parent.FindChild(name);
    if (!element) ThrowMissing(u"element", path);
    return *element;
}

const std::u16string& ConfigAttribute(const XmlNode& element, std::u16string_view name, std::u16string_view path) {
    const XmlAttribute* attribute = element.FindAttribute(name);
    if (!attribute) ThrowMissing(u"attribute", path);
    return attribute->value;
}

std::size_t ScanConfigNumbers(std::u16string_view text, std::span<std::int32_t> out) {
    std::size_t pos = 0;
    for (std::size_t field = 0; field < out.size(); ++field) {
        if (field > 0) {
            if (pos >= text.size() || text[pos] != u',') return field;
            ++pos;
        }
        const std::optional<std::int32_t> value = ScanDecimal(text, pos);
        if (!value) return field;
        out[field] = *value;
    }
    return out.size();
}

void LoadSystemConfig(IArchive& script_archive, SystemConfigRecord& config) {
    const std::unique_ptr<XmlNode> root = LoadConfigDocument(script_archive);

    // Filled aside, so that a document that fails half way changes nothing.
    SystemConfigRecord next = config;
    const XmlNode& system = ConfigElement(*root, u"system", u"system");
    const XmlNode& name = ConfigElement(system, u"name", u"system/name");
    CopyField16(next.PlayerName1, ConfigAttribute(name, u"first", u"system/name@first"));
    CopyField16(next.PlayerName2, ConfigAttribute(name, u"last", u"system/name@last"));
    ScanConfigNumbers(ConfigAttribute(ConfigElement(system, u"title", u"system/title"), u"menu", u"system/title@menu"),
                      next.TitleMenuPos);
    const std::u16string& credit =
        ConfigAttribute(ConfigElement(system, u"ending", u"system/ending"), u"credit", u"system/ending@credit");
    ScanConfigNumbers(credit, {&next.EndingSlideCount, 1});
    for (const XmlNode* bgm : system.FindChildren(u"bgm")) {
        const std::u16string& mode = ConfigAttribute(*bgm, u"mode", u"system/bgm@mode");
        const std::u16string& music = ConfigAttribute(*bgm, u"name", u"system/bgm@name");
        if (mode == u"title")
            next.TitleBgmName = music;
        else if (mode == u"cgmode")
            next.CgModeBgmName = music;
    }
    ReadPositions(system, u"chr", next.CharPositionTable);
    ReadPositions(system, u"chl", next.ChlPositionTable);
    config = std::move(next);
}

void LoadSystemConfig(IArchive& script_archive) { LoadSystemConfig(script_archive, SystemConfig); }
