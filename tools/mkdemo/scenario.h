// The sample game's text files: the story is written in UTF-8 and stored as CP932, as the
// engine reads it.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace mkdemo {

// UTF-8 text to CP932 bytes; a character that CP932 cannot hold is an error naming the file and line.
std::string ToCp932(const std::string& utf8, const std::string& fileName);
// Line ends become CR LF, as the game's scripts were written.
std::string WithCrLf(const std::string& text);
std::string ReadTextFile(const std::filesystem::path& path);

// The start script: every ".txt" file of the folder in name order, one after another.
std::string JoinScenario(const std::filesystem::path& folder);

// Each voice the script names (VOI or the at-sign shorthand, "00" excepted) with the length in
// characters of the message it belongs to.
std::vector<std::pair<std::string, std::size_t>> VoicesOf(const std::string& utf8Script);

// One thumbnail of the CG album or the scene replay, in the layout document's order: the picture
// it shows (a GRP-style name; the album's first full-view picture, the replay's "cg" text, which
// the engine does not read) and the caption shown under the pointer (attribute "title").
// Its page (from 0) and its place on the screen (attribute "pos") say where its frame goes.
struct Thumbnail {
    std::string picture;
    std::string title;
    int page = 0;
    int x = 0, y = 0;
};
// The thumbnails of the element "cgalbum" or "sceneplay" of config.xml (UTF-8 text).
std::vector<Thumbnail> ThumbnailsOf(const std::string& configXml, const std::string& element);

}  // namespace mkdemo
