// The system configuration: the values of the "system" element of "config.xml" that the whole
// program shares (default hero names, the title menu's position, the ending slide count, the
// title and CG album music, and where character pictures stand). Read once at start-up, after
// the archives are mounted.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IArchive;
struct XmlNode;

// Where a character picture stands: the first entry whose code is the upper-cased first letter
// of the picture's name, or '*', gives its x.
struct CharPosition {
    char16_t code = 0;
    std::int32_t x = 0;
    bool operator==(const CharPosition&) const = default;
};

struct SystemConfigRecord {
    static constexpr std::size_t kNameUnits = 64;

    char16_t PlayerName1[kNameUnits] = {};  // the hero's first name, "#1" in messages
    char16_t PlayerName2[kNameUnits] = {};  // the hero's last name, "#2"
    std::int32_t TitleMenuPos[2] = {};      // x, y of the title menu's first button
    std::int32_t EndingSlideCount = 0;
    std::u16string TitleBgmName;                  // title screen, extras menu, scene replay
    std::u16string CgModeBgmName;                 // CG album
    std::vector<CharPosition> CharPositionTable;  // main character layer
    std::vector<CharPosition> ChlPositionTable;   // second character layer
};

// The process-wide values.
extern SystemConfigRecord SystemConfig;

// The upper-case form of a position code: every lower-case letter of CP932 (Latin, full-width
// Latin, Greek, Cyrillic, small Roman numerals) becomes its capital; every other character
// stays as it is.
char16_t UpperCasePositionCode(char16_t c);

// An optionally signed decimal number at pos, after white space, read as the C library's scan
// and string-to-integer conversions read it ("%d"); nullopt, with pos unchanged, when no digit
// follows. A value beyond 32 bits is held at the nearest limit.
std::optional<std::int32_t> ScanDecimal(std::u16string_view text, std::size_t& pos);

// The element tree of "config.xml" in the script archive. A missing, oversized or broken document
// raises the error exception naming config.xml.
std::unique_ptr<XmlNode> LoadConfigDocument(IArchive& script_archive);

// Reads "config.xml" from the script archive into config. A missing or broken document, or a
// missing element or attribute, raises the error exception naming config.xml and what is missing.
// Numbers that do not parse keep their earlier values; names longer than their field are cut
// at a character boundary.
void LoadSystemConfig(IArchive& script_archive, SystemConfigRecord& config);
// The same into the process-wide SystemConfig.
void LoadSystemConfig(IArchive& script_archive);
