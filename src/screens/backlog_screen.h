// The backlog screen: the messages of the last while as scrollable text over the darkened game
// screen, with a face beside every message that has a voice; a click on the face plays that
// voice again. The page wait's backlog button opens it over the page (the message window hidden).
//
// The layout is built anew each time the screen opens: the list's texts cut into display lines
// of at most 46 characters (a line feed also ends one, and an empty line follows every message),
// 24 pixels apart, 25 of them shown; the faces come from the "backlog" element of config.xml and
// the picture "title/backlogface", 48 x 48 each, left to right by face number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class BacklogHistory;
struct XmlNode;

struct BacklogLayout {
    static constexpr std::size_t kLineChars = 46;

    // Where a voiced message starts (its face stands beside its first two lines).
    struct VoiceArea {
        std::size_t line;
        std::u16string_view voice;  // upper-cased, never empty
    };
    // Views into the list's texts, which must outlive the layout; an empty view is an empty line.
    std::vector<std::u16string_view> lines;
    std::vector<VoiceArea> voices;
};

// The display lines and voice areas of the whole list, oldest message first.
BacklogLayout LayOutBacklog(const BacklogHistory& history);

// A face of the table: messages whose voice name begins with `key` show face `number`.
struct BacklogFace {
    char16_t key;
    std::int32_t number;
    bool operator==(const BacklogFace&) const = default;
};

// The faces of system/backlog/face (attributes "chr" and "number") in document order, for a face
// picture holding `face_count` faces. The key is the upper-cased first character of "chr" after
// blanks; a face without a key, or whose number does not parse or names no face of the picture,
// is left out, so that no face is ever cut from outside the picture.
std::vector<BacklogFace> ReadBacklogFaces(const XmlNode& root, std::int32_t face_count);

// Runs the screen until the player leaves it with a right click or Escape. The wheel, the up and
// down keys, the track's two buttons and the knob scroll it; it opens scrolled to the end. A
// ScriptException or error from a frame step passes through with the screen taken down and the
// voice channel stopped, as on leaving.
void BackLog(const BacklogHistory& history);
