#include "scenario.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "lib/text.h"

namespace mkdemo {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsMessage(const std::string& line) { return !line.empty() && (static_cast<unsigned char>(line[0]) & 0x80) != 0; }

// The voice a line names, or empty.
std::string VoiceName(const std::string& line) {
    std::string upper = line;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    std::string rest;
    if (upper.rfind(".VOI", 0) == 0)
        rest = upper.substr(4);
    else if (upper.rfind("@", 0) == 0)
        rest = upper.substr(1);
    else
        return {};
    std::istringstream words(rest);
    std::string name;
    words >> name;
    return name == "00" ? std::string() : name;
}

}  // namespace

std::string ToCp932(const std::string& utf8, const std::string& fileName) {
    std::vector<std::string> lines = Lines(utf8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::u16string wide = Utf8ToUtf16(lines[i]);
        if (Cp932ToUtf16(Utf16ToCp932(wide)) != wide) {
            throw std::runtime_error(fileName + "(" + std::to_string(i + 1) + "): a character has no CP932 form");
        }
    }
    return Utf16ToCp932(Utf8ToUtf16(utf8));
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string ReadTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string JoinScenario(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    if (files.empty()) throw std::runtime_error("no scenario files in " + folder.string());
    std::sort(files.begin(), files.end());
    std::string script;
    for (const auto& file : files) {
        std::string text = ReadTextFile(file);
        if (!text.empty() && text.back() != '\n') text += '\n';
        script += text;
    }
    return script;
}

std::vector<std::pair<std::string, std::size_t>> VoicesOf(const std::string& utf8Script) {
    std::vector<std::string> lines = Lines(utf8Script);
    std::map<std::string, std::size_t> voices;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name = VoiceName(lines[i]);
        if (name.empty()) continue;
        std::size_t length = 12;
        // The message the voice belongs to: the one right after it, else the one right before.
        const std::string* message = nullptr;
        if (i + 1 < lines.size() && IsMessage(lines[i + 1]))
            message = &lines[i + 1];
        else if (i > 0 && IsMessage(lines[i - 1]))
            message = &lines[i - 1];
        if (message) length = Utf8ToUtf16(*message).size();
        voices.emplace(name, length);
    }
    return {voices.begin(), voices.end()};
}

std::vector<Thumbnail> ThumbnailsOf(const std::string& configXml, const std::string& element) {
    std::size_t begin = configXml.find("<" + element);
    std::size_t end = configXml.find("</" + element + ">");
    if (begin == std::string::npos || end == std::string::npos)
        throw std::runtime_error("config.xml has no " + element);
    std::string section = configXml.substr(begin, end - begin);
    std::vector<Thumbnail> out;
    for (std::size_t at = 0; (at = section.find("<cg", at)) != std::string::npos;) {
        // Only the element "cg" itself, not "cgalbum".
        if (at + 3 < section.size() && !std::isspace(static_cast<unsigned char>(section[at + 3])) &&
            section[at + 3] != '>' && section[at + 3] != '/') {
            at += 3;
            continue;
        }
        std::size_t close = section.find('>', at);
        if (close == std::string::npos) throw std::runtime_error("config.xml: unterminated cg in " + element);
        std::string attributes = section.substr(at, close - at);
        std::string text;
        if (section[close - 1] != '/') {
            std::size_t stop = section.find("</cg>", close);
            if (stop == std::string::npos) throw std::runtime_error("config.xml: unclosed cg in " + element);
            text = section.substr(close + 1, stop - close - 1);
        }
        std::string title;
        if (std::size_t t = attributes.find("title=\""); t != std::string::npos) {
            t += 7;
            title = attributes.substr(t, attributes.find('"', t) - t);
        }
        int page = -1;
        for (std::size_t p = 0; (p = section.find("<page", p)) != std::string::npos && p < at; p += 5) ++page;
        int x = 0, y = 0;
        const std::size_t pos = attributes.find("pos=\"");
        if (page < 0 || pos == std::string::npos || std::sscanf(attributes.c_str() + pos + 5, "%d,%d", &x, &y) != 2)
            throw std::runtime_error("config.xml: a thumbnail of " + element + " has no page or no pos");
        out.push_back({text.substr(0, text.find(',')), title, page, x, y});
        if (out.back().picture.empty())
            throw std::runtime_error("config.xml: a thumbnail of " + element + " names no picture");
        at = close;
    }
    return out;
}

}  // namespace mkdemo
