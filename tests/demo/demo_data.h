// Access to the built sample game for its checker: the archives are read through saftool and
// the script through scriptc, so names are found exactly the way the engine finds them.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace demo_check {

struct CommandResult {
    int exitCode = -1;
    std::string output;
};

// Runs a command line and captures its standard output.
CommandResult RunCommand(const std::string& commandLine);
std::string Quoted(const std::string& text);

// One archive (a ".saf" file or a folder), asked through saftool and remembered.
class Archive {
public:
    explicit Archive(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    // The decoded bytes of an entry, or nothing when the archive does not hold it.
    const std::optional<std::string>& Read(const std::string& name);
    bool Has(const std::string& name) { return Read(name).has_value(); }
    // Every file the archive lists, as listed.
    std::vector<std::string> List();

private:
    std::string path_;
    std::map<std::string, std::optional<std::string>> cache_;
};

struct PictureInfo {
    std::string file;  // the entry found, with its extension
    int width = 0, height = 0;
    bool hasAlpha = false;
};

// The picture loader's search: the base name with ".jpg", ".tif", ".png", ".bmp", in that order.
std::optional<PictureInfo> FindPicture(Archive& archive, const std::string& baseName);
// Width, height and alpha of a PNG, JPEG or BMP held in memory; nothing when unreadable.
std::optional<PictureInfo> ReadPictureHeader(const std::string& bytes);

// One node of a compiled script, as "scriptc --dump" prints it.
struct Node {
    int line = 0;
    int code = 0;
    char op = '-';
    int page = 0;
    std::vector<std::string> args;
};
std::vector<Node> ParseDump(const std::string& dump);

// The judge and jump tables of "iv.txt", as "scriptc --iv" prints them.
struct JudgeTable {
    int number = 0;
    std::string label;
    std::vector<std::string> operands;
};
struct JumpTables {
    std::vector<std::string> jumps;
    std::vector<JudgeTable> judges;
};
JumpTables ParseIvDump(const std::string& dump);

// A small reader for the layout document: elements with their attributes and text, enough for
// the flat, well-formed document the sample keeps.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<Element> children;
    const Element* Child(const std::string& childName) const;
    std::vector<const Element*> Children(const std::string& childName) const;
};
Element ParseXmlDocument(const std::string& utf8);

// Numbers of a "%d,%d,..." attribute.
std::vector<int> Numbers(const std::string& text);

}  // namespace demo_check
