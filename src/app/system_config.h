// The system configuration: the values of the "system" element of "config.xml" that the whole
// program shares (default hero names, the title menu's position, the ending slide count, the
// title and CG album music, and where character pictures stand). Read once at start-up, after
// the archives are mounted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
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

// Reads "config.xml" from the script archive into config. A missing or broken document, or a
// missing element or attribute, raises the error exception naming config.xml and what is missing.
// Numbers that do not parse keep their earlier values; names longer than their field are cut
// at a character boundary.
void LoadSystemConfig(IArchive& script_archive, SystemConfigRecord& config);
// The same into the process-wide SystemConfig.
void LoadSystemConfig(IArchive& script_archive);

// The reading of "config.xml", which the screens share for their own elements.
//
// The whole document, parsed. A document that is missing, too large, unreadable or not a document
// raises the error exception naming config.xml and what is wrong with it.
std::unique_ptr<XmlNode> LoadConfigDocument(IArchive& script_archive);
// The first child element `name` of `parent`, or the error exception naming config.xml and `path`.
const XmlNode& ConfigElement(const XmlNode& parent, std::u16string_view name, std::u16string_view path);
// The value of the attribute `name`, or the error exception naming config.xml and `path`.
const std::u16string& ConfigAttribute(const XmlNode& element, std::u16string_view name, std::u16string_view path);
// Reads "%d,%d,..." into `out` as the C library's formatted scan reads it: blanks before each
// number, an optional sign, digits, and exactly one ',' between numbers. Fields are stored from
// the first up to the one that does not parse; the rest keep their values. Returns how many were
// stored. A value beyond 32 bits is held at the nearest limit.
std::size_t ScanConfigNumbers(std::u16string_view text, std::span<std::int32_t> out);
