#include "demo_data.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace demo_check {

namespace {

struct PipeCloser {
    int* status;
    void operator()(std::FILE* f) const { *status = pclose(f); }
};

std::uint32_t BigEndian32(const std::string& b, std::size_t at) {
    return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint8_t(b[at + 3]);
}

std::uint32_t LittleEndian32(const std::string& b, std::size_t at) {
    return std::uint8_t(b[at]) | (std::uint32_t(std::uint8_t(b[at + 1])) << 8) |
           (std::uint32_t(std::uint8_t(b[at + 2])) << 16) | (std::uint32_t(std::uint8_t(b[at + 3])) << 24);
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

class XmlReader {
public:
    explicit XmlReader(const std::string& text) : s_(text) {}

    Element Document() {
        SkipMisc();
        Element root = ReadElement();
        return root;
    }

private:
    void SkipSpace() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    // Declarations, processing instructions and comments carry nothing the checker needs.
    void SkipMisc() {
        for (;;) {
            SkipSpace();
            if (s_.compare(pos_, 4, "<!--") == 0) {
                pos_ = End(s_.find("-->", pos_), 3);
            } else if (s_.compare(pos_, 2, "<?") == 0) {
                pos_ = End(s_.find("?>", pos_), 2);
            } else {
                return;
            }
        }
    }
    std::size_t End(std::size_t found, std::size_t length) const {
        if (found == std::string::npos) throw std::runtime_error("config.xml: unterminated markup");
        return found + length;
    }
    std::string Name() {
        std::size_t start = pos_;
        while (pos_ < s_.size() &&
               (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_' || s_[pos_] == '-'))
            ++pos_;
        if (start == pos_) throw std::runtime_error("config.xml: name expected at byte " + std::to_string(pos_));
        return s_.substr(start, pos_ - start);
    }
    Element ReadElement() {
        if (s_[pos_] != '<') throw std::runtime_error("config.xml: element expected at byte " + std::to_string(pos_));
        ++pos_;
        Element e;
        e.name = Name();
        for (;;) {
            SkipSpace();
            if (s_.compare(pos_, 2, "/>") == 0) {
                pos_ += 2;
                return e;
            }
            if (s_[pos_] == '>') {
                ++pos_;
                break;
            }
            std::string key = Name();
            SkipSpace();
            if (s_[pos_] != '=') throw std::runtime_error("config.xml: '=' expected after " + key);
            ++pos_;
            SkipSpace();
            char quote = s_[pos_++];
            std::size_t close = End(s_.find(quote, pos_), 0);
            e.attributes[key] = s_.substr(pos_, close - pos_);
            pos_ = close + 1;
        }
        for (;;) {
            std::size_t lt = End(s_.find('<', pos_), 0);
            std::string text = s_.substr(pos_, lt - pos_);
            if (text.find_first_not_of(" \t\r\n") != std::string::npos) {
                e.text += text.substr(text.find_first_not_of(" \t\r\n"),
                                      text.find_last_not_of(" \t\r\n") - text.find_first_not_of(" \t\r\n") + 1);
            }
            pos_ = lt;
            if (s_.compare(pos_, 2, "</") == 0) {
                pos_ += 2;
                if (Name() != e.name) throw std::runtime_error("config.xml: mismatched end of " + e.name);
                pos_ = End(s_.find('>', pos_), 1);
                return e;
            }
            if (s_.compare(pos_, 4, "<!--") == 0) {
                pos_ = End(s_.find("-->", pos_), 3);
                continue;
            }
            e.children.push_back(ReadElement());
        }
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

}  // namespace

CommandResult RunCommand(const std::string& commandLine) {
    CommandResult result;
    int status = -1;
    {
        std::unique_ptr<std::FILE, PipeCloser> pipe(popen(commandLine.c_str(), "r"), PipeCloser{&status});
        if (!pipe) return result;
        std::array<char, 65536> buffer;
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;)
            result.output.append(buffer.data(), n);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

const std::optional<std::string>& Archive::Read(const std::string& name) {
    auto found = cache_.find(name);
    if (found != cache_.end()) return found->second;
    CommandResult r = RunCommand(std::string(SAFTOOL) + " cat " + Quoted(path_) + " " + Quoted(name) + " 2>/dev/null");
    std::optional<std::string> bytes;
    if (r.exitCode == 0) bytes = std::move(r.output);
    return cache_.emplace(name, std::move(bytes)).first->second;
}

std::vector<std::string> Archive::List() {
    CommandResult r = RunCommand(std::string(SAFTOOL) + " list " + Quoted(path_));
    std::vector<std::string> names;
    for (const std::string& line : Lines(r.output)) names.push_back(SplitTabs(line)[0]);
    return names;
}

std::optional<PictureInfo> ReadPictureHeader(const std::string& b) {
    PictureInfo info;
    if (b.size() >= 26 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && b.compare(12, 4, "IHDR") == 0) {
        info.width = int(BigEndian32(b, 16));
        info.height = int(BigEndian32(b, 20));
        int colourType = std::uint8_t(b[25]);
        info.hasAlpha = colourType == 4 || colourType == 6;
        return info;
    }
    if (b.size() >= 54 && b.compare(0, 2, "BM") == 0) {
        info.width = int(LittleEndian32(b, 18));
        info.height = int(LittleEndian32(b, 22));
        info.hasAlpha = LittleEndian32(b, 28) == 32 || (LittleEndian32(b, 28) & 0xFFFF) == 32;
        return info;
    }
    if (b.size() >= 4 && std::uint8_t(b[0]) == 0xFF && std::uint8_t(b[1]) == 0xD8) {
        // Walk the markers up to the first start-of-frame.
        std::size_t at = 2;
        while (at + 9 < b.size()) {
            if (std::uint8_t(b[at]) != 0xFF) return std::nullopt;
            int marker = std::uint8_t(b[at + 1]);
            std::size_t length = (std::size_t(std::uint8_t(b[at + 2])) << 8) | std::uint8_t(b[at + 3]);
            bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                info.height = (std::uint8_t(b[at + 5]) << 8) | std::uint8_t(b[at + 6]);
                info.width = (std::uint8_t(b[at + 7]) << 8) | std::uint8_t(b[at + 8]);
                return info;
            }
            at += 2 + length;
        }
    }
    return std::nullopt;
}

std::optional<PictureInfo> FindPicture(Archive& archive, const std::string& baseName) {
    for (const char* extension : {".jpg", ".tif", ".png", ".bmp"}) {
        const std::optional<std::string>& bytes = archive.Read(baseName + extension);
        if (!bytes) continue;
        std::optional<PictureInfo> info = ReadPictureHeader(*bytes);
        if (!info) return PictureInfo{baseName + extension, 0, 0, false};
        info->file = baseName + extension;
        return info;
    }
    return std::nullopt;
}

std::vector<Node> ParseDump(const std::string& dump) {
    std::vector<Node> nodes;
    for (const std::string& line : Lines(dump)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() < 4) throw std::runtime_error("unexpected dump line: " + line);
        Node n{std::atoi(f[0].c_str()),
               std::atoi(f[1].c_str()),
               f[2].empty() ? '-' : f[2][0],
               std::atoi(f[3].c_str()),
               {}};
        for (std::size_t i = 4; i < f.size(); ++i) n.args.push_back(Unescape(f[i]));
        nodes.push_back(std::move(n));
    }
    return nodes;
}

JumpTables ParseIvDump(const std::string& dump) {
    JumpTables tables;
    for (const std::string& line : Lines(dump)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f[0] == "J" && f.size() >= 3) tables.jumps.push_back(f[2]);
        if (f[0] == "T" && f.size() >= 3) tables.judges.push_back({std::atoi(f[1].c_str()), f[2], {}});
        if (f[0] == "E" && f.size() >= 4 && !tables.judges.empty()) {
            tables.judges.back().operands.push_back(f[1]);
            tables.judges.back().operands.push_back(f[3]);
        }
    }
    return tables;
}

const Element* Element::Child(const std::string& childName) const {
    for (const Element& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

std::vector<const Element*> Element::Children(const std::string& childName) const {
    std::vector<const Element*> out;
    for (const Element& c : children)
        if (c.name == childName) out.push_back(&c);
    return out;
}

Element ParseXmlDocument(const std::string& utf8) { return XmlReader(utf8).Document(); }

std::vector<int> Numbers(const std::string& text) {
    std::vector<int> out;
    std::istringstream in(text);
    for (std::string piece; std::getline(in, piece, ',');) out.push_back(std::atoi(piece.c_str()));
    return out;
}

}  // namespace demo_check
