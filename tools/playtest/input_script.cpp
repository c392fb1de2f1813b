#include "tools/playtest/input_script.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "lib/report_hook.h"

namespace playtest {
namespace {

struct NamedCode {
    std::string_view name;
    std::uint8_t code;
};

// Scan codes of the classic PC keyboard, as the engine's input code numbers them.
constexpr NamedCode kKeys[] = {
    {"return", 0x1C}, {"space", 0x39},    {"escape", 0x01}, {"tab", 0x0F},  {"backspace", 0x0E}, {"control", 0x1D},
    {"shift", 0x2A},  {"alt", 0x38},      {"up", 0xC8},     {"down", 0xD0}, {"left", 0xCB},      {"right", 0xCD},
    {"pageup", 0xC9}, {"pagedown", 0xD1}, {"home", 0xC7},   {"end", 0xCF},  {"f11", 0x57},       {"f12", 0x58},
};
// Letters by keyboard row, each row's codes consecutive.
constexpr struct {
    std::string_view letters;
    std::uint8_t first;
} kLetterRows[] = {{"qwertyuiop", 0x10}, {"asdfghjkl", 0x1E}, {"zxcvbnm", 0x2C}};

constexpr NamedCode kUntil[] = {{"page", 0}, {"choice", 1}, {"title", 2}, {"end", 3}};
constexpr std::string_view kUntilNames[] = {"page", "choice", "title", "end"};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<std::uint8_t> KeyCode(const std::string& name) {
    for (const NamedCode& key : kKeys)
        if (key.name == name) return key.code;
    if (name.size() == 1) {
        const char c = name[0];
        for (const auto& row : kLetterRows)
            if (const std::size_t at = row.letters.find(c); at != std::string_view::npos)
                return static_cast<std::uint8_t>(row.first + at);
        if (c >= '1' && c <= '9') return static_cast<std::uint8_t>(0x02 + (c - '1'));
        if (c == '0') return std::uint8_t{0x0B};
    }
    // F1 to F10 are consecutive.
    if (name.size() >= 2 && name[0] == 'f') {
        int number = 0;
        const auto [end, error] = std::from_chars(name.data() + 1, name.data() + name.size(), number);
        if (error == std::errc() && end == name.data() + name.size() && number >= 1 && number <= 10)
            return static_cast<std::uint8_t>(0x3B + number - 1);
    }
    return std::nullopt;
}

// The line split at blanks; the rest of the line after the first word is kept in `rest`.
struct Words {
    std::vector<std::string_view> words;
    std::string_view rest;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

Words Split(std::string_view line) {
    Words out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at >= line.size()) break;
        std::size_t end = at;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        if (out.words.empty()) out.rest = Trim(line.substr(end));
        out.words.push_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

// Drops a comment: from a '#' at the start or after a blank.
std::string_view WithoutComment(std::string_view line) {
    for (std::size_t at = 0; at < line.size(); ++at)
        if (line[at] == '#' && (at == 0 || IsBlank(line[at - 1]))) return line.substr(0, at);
    return line;
}

class LineReader {
public:
    LineReader(int number, const Words& words) : number_(number), words_(words) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw InputError("line " + std::to_string(number_) + ": " + message);
    }
    void Count(std::size_t minimum, std::size_t maximum) const {
        const std::size_t operands = words_.words.size() - 1;
        if (operands < minimum || operands > maximum)
            Fail("'" + std::string(words_.words[0]) + "' takes " + std::to_string(minimum) +
                 (minimum == maximum ? "" : " to " + std::to_string(maximum)) + " operands");
    }
    int Number(std::size_t index, int minimum, int maximum) const {
        const std::string_view word = words_.words[index];
        int value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size() || value < minimum || value > maximum)
            Fail("'" + std::string(word) + "' is not a number from " + std::to_string(minimum) + " to " +
                 std::to_string(maximum));
        return value;
    }
    std::string Word(std::size_t index) const { return std::string(words_.words[index]); }

private:
    int number_;
    const Words& words_;
};

constexpr int kMaxCoordinate = 100000;
// Command and control ids are 16-bit, as the window messages carry them.
constexpr int kMaxId = 65535;

InputLine ReadLine(int number, const Words& words) {
    const LineReader reader(number, words);
    InputLine line;
    line.line = number;
    const std::string verb = Lower(words.words[0]);
    const auto key = [&] {
        reader.Count(1, 1);
        const std::optional<KeyChord> chord = ParseKeyChord(words.words[1]);
        if (!chord) reader.Fail("unknown key '" + reader.Word(1) + "'");
        line.key = *chord;
    };
    const auto point = [&] {
        reader.Count(2, 2);
        line.x = reader.Number(1, -kMaxCoordinate, kMaxCoordinate);
        line.y = reader.Number(2, -kMaxCoordinate, kMaxCoordinate);
    };
    if (verb == "wait") {
        line.action = Action::Wait;
        reader.Count(1, 1);
        line.x = reader.Number(1, 0, 100'000'000);
    } else if (verb == "click" || verb == "rclick" || verb == "move" || verb == "smudge") {
        line.action = verb == "click"    ? Action::Click
                      : verb == "rclick" ? Action::RightClick
                      : verb == "move"   ? Action::Move
                                         : Action::Smudge;
        point();
    } else if (verb == "wheel") {
        line.action = Action::Wheel;
        reader.Count(1, 1);
        line.x = reader.Number(1, -kMaxCoordinate, kMaxCoordinate);
    } else if ((verb == "hold" || verb == "release") && words.words.size() == 2 &&
               Lower(words.words[1]) == "leftbutton") {
        line.action = verb == "hold" ? Action::HoldButton : Action::ReleaseButton;
    } else if (verb == "key" || verb == "hold" || verb == "release") {
        line.action = verb == "key" ? Action::Key : verb == "hold" ? Action::Hold : Action::Release;
        key();
    } else if (verb == "until") {
        line.action = Action::Until;
        reader.Count(1, 2);
        const std::string what = Lower(words.words[1]);
        const auto found = std::find_if(std::begin(kUntil), std::end(kUntil), [&](auto& u) { return u.name == what; });
        if (found == std::end(kUntil)) reader.Fail("'until' waits for page, choice, title or end, not '" + what + "'");
        line.until = static_cast<UntilWhat>(found->code);
        if (words.words.size() == 3) line.max_frames = reader.Number(2, 1, 100'000'000);
    } else if (verb == "answer") {
        line.action = Action::Answer;
        reader.Count(1, 1);
        const std::string answer = Lower(words.words[1]);
        constexpr struct {
            std::string_view name;
            int id;
        } kAnswers[] = {{"yes", kIdYes},     {"no", kIdNo},       {"ok", kIdOk},        {"cancel", kIdCancel},
                        {"abort", kIdAbort}, {"retry", kIdRetry}, {"ignore", kIdIgnore}};
        const auto found =
            std::find_if(std::begin(kAnswers), std::end(kAnswers), [&](auto& a) { return a.name == answer; });
        if (found == std::end(kAnswers))
            reader.Fail("the answer is yes, no, ok, cancel, abort, retry or ignore, not '" + answer + "'");
        line.answer = found->id;
    } else if (verb == "shot") {
        line.action = Action::Shot;
        reader.Count(1, 1);
        line.text = reader.Word(1);
        // Only a plain name: a shot never lands outside the shots folder.
        if (line.text.find('/') != std::string::npos || line.text == "." || line.text == "..")
            reader.Fail("a shot's name is a plain file name");
    } else if (verb == "await") {
        line.action = Action::Await;
        reader.Count(0, 0);
    } else if (verb == "menu") {
        line.action = Action::Menu;
        reader.Count(1, 1);
        // A word that starts with a digit is a command id; anything else a label path.
        const std::string target = reader.Word(1);
        if (target[0] >= '0' && target[0] <= '9')
            line.x = reader.Number(1, 1, kMaxId);
        else
            line.text = target;
    } else if (verb == "choose") {
        line.action = Action::Choose;
        reader.Count(2, 2);
        line.x = reader.Number(1, 1, kMaxId);
        line.y = reader.Number(2, 0, kMaxId);
    } else if (verb == "slide") {
        line.action = Action::Slide;
        reader.Count(2, 2);
        line.x = reader.Number(1, 1, kMaxId);
        line.y = reader.Number(2, -kMaxCoordinate, kMaxCoordinate);
    } else if (verb == "press") {
        line.action = Action::Press;
        reader.Count(1, 1);
        line.x = reader.Number(1, 1, kMaxId);
    } else {
        reader.Fail("unknown action '" + std::string(words.words[0]) + "'");
    }
    return line;
}

}  // namespace

std::optional<KeyChord> ParseKeyChord(std::string_view name) {
    KeyChord chord;
    std::string rest = Lower(name);
    for (;;) {
        const std::size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 == rest.size()) break;
        const std::string modifier = rest.substr(0, plus);
        if (modifier == "ctrl")
            chord.ctrl = true;
        else if (modifier == "alt")
            chord.alt = true;
        else if (modifier == "shift")
            chord.shift = true;
        else
            return std::nullopt;
        rest.erase(0, plus + 1);
    }
    const std::optional<std::uint8_t> code = KeyCode(rest);
    if (!code) return std::nullopt;
    chord.code = *code;
    return chord;
}

std::string_view UntilName(UntilWhat what) { return kUntilNames[static_cast<int>(what)]; }

std::vector<InputLine> ParseInputScript(std::string_view script) {
    std::vector<InputLine> lines;
    int number = 0;
    while (!script.empty()) {
        const std::size_t end = script.find('\n');
        const std::string_view raw = script.substr(0, end);
        script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
        ++number;
        const Words head = Split(WithoutComment(raw));
        if (head.words.empty()) continue;
        if (Lower(head.words[0]) == "type") {
            // The text runs to the line's end, '#' and all.
            InputLine line;
            line.action = Action::Type;
            line.line = number;
            line.text = Split(raw).rest;
            lines.push_back(std::move(line));
            continue;
        }
        lines.push_back(ReadLine(number, head));
    }
    return lines;
}

}  // namespace playtest
