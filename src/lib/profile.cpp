#include "lib/profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "lib/diskfile.h"
#include "lib/text.h"
#include "lib/text_field.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// The name of a "[name]" header line, or nothing for any other line.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != u'[') return std::nullopt;
    const std::size_t close = line.find(u']');
    if (close == std::u16string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// The key of a "key=value" line (nothing for comments and lines without '='), and its value.
std::optional<std::u16string_view> KeyName(std::u16string_view line) {
    const std::u16string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == u';' || trimmed.front() == u'[') return std::nullopt;
    const std::size_t equals = trimmed.find(u'=');
    if (equals == std::u16string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(0, equals));
}

std::u16string ValueOf(std::u16string_view text) {
    text = Trim(text);
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return std::u16string(text.substr(0, FitUtf16(text, ProfileFile::kValueUnits + 1)));
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t lead = bytes[i];
        std::size_t extra;
        char32_t cp;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (bytes.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (bytes[i + k] & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes, bool big_endian) {
    std::u16string text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned first = bytes[i], second = bytes[i + 1];
        text.push_back(static_cast<char16_t>(big_endian ? first << 8 | second : second << 8 | first));
    }
    if (bytes.size() % 2) text.push_back(u'\xFFFD');  // a lone last byte
    return text;
}

std::u16string DecodeText(std::span<const std::uint8_t> bytes) {
    auto starts = [&](std::initializer_list<std::uint8_t> mark) {
        return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
    };
    if (starts({0xFF, 0xFE})) return DecodeUtf16(bytes.subspan(2), false);
    if (starts({0xFE, 0xFF})) return DecodeUtf16(bytes.subspan(2), true);
    if (starts({0xEF, 0xBB, 0xBF})) bytes = bytes.subspan(3);
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return IsValidUtf8(bytes) ? Utf8ToUtf16(view) : Cp932ToUtf16(view);
}

// Removes the temporary file unless the rename took it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

}  // namespace

ProfileFile ProfileFile::Parse(std::span<const std::uint8_t> bytes) {
    ProfileFile file;
    const std::u16string text = DecodeText(bytes);
    if (text.empty()) return file;
    const std::size_t first_end = text.find(u'\n');
    if (first_end != std::u16string::npos && first_end > 0 && text[first_end - 1] == u'\r') file.line_end_ = u"\r\n";
    file.ends_with_line_end_ = text.back() == u'\n';
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        std::u16string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        file.lines_.emplace_back(line);
        start = end + 1;
    }
    return file;
}

std::optional<ProfileFile> ProfileFile::Load(std::u16string_view path) {
    // The size is checked before anything is allocated for the file.
    const std::optional<std::vector<std::uint8_t>> bytes = LoadNativeFile(Utf16ToUtf8(path), kMaxFileBytes);
    if (!bytes) return errno == ENOENT ? std::optional(ProfileFile()) : std::nullopt;
    return Parse(*bytes);
}

std::optional<ProfileFile::Range> ProfileFile::FindSection(std::u16string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::optional<std::u16string_view> name = SectionName(lines_[i]);
        if (!name || !SameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end])) ++end;
        return Range{i + 1, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> ProfileFile::FindKey(Range range, std::u16string_view key) const {
    for (std::size_t i = range.first; i < range.end; ++i) {
        const std::optional<std::u16string_view> name = KeyName(lines_[i]);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::u16string> ProfileFile::Get(std::u16string_view section, std::u16string_view key) const {
    const std::optional<Range> range = FindSection(section);
    if (!range) return std::nullopt;
    const std::optional<std::size_t> line = FindKey(*range, key);
    if (!line) return std::nullopt;
    const std::u16string_view text = lines_[*line];
    return ValueOf(text.substr(text.find(u'=') + 1));
}

std::u16string ProfileFile::GetString(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view fallback) const {
    std::optional<std::u16string> value = Get(section, key);
    return value ? std::move(*value) : ValueOf(fallback);
}

void ProfileFile::Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    std::u16string line(key);
    line.push_back(u'=');
    for (char16_t c : value) line.push_back(c == u'\r' || c == u'\n' ? u' ' : c);

    std::optional<Range> range = FindSection(section);
    if (!range) {
        lines_.push_back(u"[" + std::u16string(section) + u"]");
        lines_.push_back(std::move(line));
        return;
    }
    if (const std::optional<std::size_t> found = FindKey(*range, key)) {
        lines_[*found] = std::move(line);
        return;
    }
    std::size_t after = range->first;  // after the header, or after the section's last key
    for (std::size_t i = range->first; i < range->end; ++i)
        if (KeyName(lines_[i])) after = i + 1;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after), std::move(line));
}

std::string ProfileFile::Serialize() const {
    std::u16string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        if (i + 1 < lines_.size() || ends_with_line_end_) text += line_end_;
    }
    return Utf16ToUtf8(text);
}

bool ProfileFile::Save(std::u16string_view path) const {
    const std::string target = Utf16ToUtf8(path);
    TemporaryFile temporary(target + "." + std::to_string(::getpid()) + ".tmp");
    {
        FileHandle file(::open(temporary.path().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
        const std::string bytes = Serialize();
        if (!file.valid() || !file.Write(bytes.data(), bytes.size()) || ::fsync(file.get()) != 0) return false;
        if (::close(file.release()) != 0) return false;
    }
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) return false;
    temporary.Keep();
    // The rename itself reaches the disk with the folder.
    SyncFolderOf(path);
    return true;
}
