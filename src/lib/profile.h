// Settings files in the rules of the Windows profile functions, which the settings keys were
// written for.
//
// Reading: section and key names are compared without regard to ASCII case; the first matching
// section and, inside it, the first matching "key=value" line count. A value is trimmed of blanks
// and tabs, loses one pair of matching single or double quotes around it, and is cut at 255
// units (never between the two units of a surrogate pair). Lines beginning with ';' are comments.
// A file is decoded as UTF-16 when it begins with a byte-order mark, as UTF-8 when it begins with
// one or is valid UTF-8 throughout, and as CP932 otherwise.
//
// Writing: the file is kept as a list of lines. Setting a key replaces its line in place; a
// missing key goes after the last key of its section (so keys set in a fixed order are appended
// in that order), and a missing section goes to the end. Every other line (other sections,
// comments, unknown keys, blank lines) is written back as it was, in UTF-8 with the file's own
// line ends. Save writes the whole text to a temporary file in the same folder, flushes it to the
// disk and renames it over the file, so a crash leaves either the old file or the new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class ProfileFile {
public:
    static constexpr std::size_t kValueUnits = 255;  // longest value handed out
    // The largest file Load reads. A settings file is a few hundred bytes; a damaged or hostile
    // one of gigabytes would take memory and time to read and then be written back whole.
    static constexpr std::size_t kMaxFileBytes = 64 << 10;

    ProfileFile() = default;

    // Decodes the bytes of a file in any of the three encodings.
    static ProfileFile Parse(std::span<const std::uint8_t> bytes);
    // Reads a file. A file that does not exist reads as empty; nothing when it exists but cannot
    // be read (so that a write-back does not replace a file whose lines it never saw), errno
    // saying why as a whole-file load leaves it: not a regular file, larger than kMaxFileBytes
    // (EFBIG), unreadable.
    static std::optional<ProfileFile> Load(std::u16string_view path);

    // The value of a key, or nothing when the section or the key is missing.
    std::optional<std::u16string> Get(std::u16string_view section, std::u16string_view key) const;
    // The value of a key, or `fallback` (cut as a value is) when it is missing.
    std::u16string GetString(std::u16string_view section, std::u16string_view key, std::u16string_view fallback) const;
    // Stores "key=value" (line ends in the value become blanks, so it stays one line).
    void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

    // The whole file as UTF-8.
    std::string Serialize() const;
    // Writes the file whole through a temporary file and a rename; false when any step fails,
    // in which case the file on disk is left as it was.
    bool Save(std::u16string_view path) const;

private:
    // Index range [first, end) of the lines of the first section of that name; first is the line
    // after the header. Nothing when there is no such section.
    struct Range {
        std::size_t first;
        std::size_t end;
    };
    std::optional<Range> FindSection(std::u16string_view section) const;
    // Index of the first line of the range whose key is `key`.
    std::optional<std::size_t> FindKey(Range range, std::u16string_view key) const;

    std::vector<std::u16string> lines_;
    std::u16string line_end_ = u"\n";
    bool ends_with_line_end_ = true;
};
