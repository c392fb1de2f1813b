// The playthrough tool's input script and log line format.
#include <gtest/gtest.h>

#include "lib/report_hook.h"
#include "tools/playtest/event_log.h"
#include "tools/playtest/input_script.h"

namespace {

using namespace playtest;

// One line read back as text: action, operands; "!" and the message when it is refused.
std::string Read(const std::string& source) {
    std::vector<InputLine> lines;
    try {
        lines = ParseInputScript(source);
    } catch (const InputError& error) {
        return std::string("!") + error.what();
    }
    std::string out;
    for (const InputLine& l : lines) {
        out += std::to_string(l.line) + ":";
        switch (l.action) {
            case Action::Wait: out += "wait " + std::to_string(l.x); break;
            case Action::Click: out += "click " + std::to_string(l.x) + "," + std::to_string(l.y); break;
            case Action::RightClick: out += "rclick " + std::to_string(l.x) + "," + std::to_string(l.y); break;
            case Action::Move: out += "move " + std::to_string(l.x) + "," + std::to_string(l.y); break;
            case Action::Wheel: out += "wheel " + std::to_string(l.x); break;
            case Action::Key:
            case Action::Hold:
            case Action::Release:
                out += (l.action == Action::Key    ? "key "
                        : l.action == Action::Hold ? "hold "
                                                   : "release ") +
                       std::to_string(l.key.code) + (l.key.ctrl ? "c" : "") + (l.key.alt ? "a" : "") +
                       (l.key.shift ? "s" : "");
                break;
            case Action::HoldButton: out += "hold button"; break;
            case Action::ReleaseButton: out += "release button"; break;
            case Action::Until:
                out += "until " + std::string(UntilName(l.until)) + " " + std::to_string(l.max_frames);
                break;
            case Action::Answer: out += "answer " + std::to_string(l.answer); break;
            case Action::Type: out += "type [" + l.text + "]"; break;
            case Action::Shot: out += "shot " + l.text; break;
            case Action::Smudge: out += "smudge " + std::to_string(l.x) + "," + std::to_string(l.y); break;
            case Action::Await: out += "await"; break;
            case Action::Menu: out += "menu " + (l.text.empty() ? std::to_string(l.x) : "[" + l.text + "]"); break;
            case Action::Choose: out += "choose " + std::to_string(l.x) + "," + std::to_string(l.y); break;
            case Action::Press: out += "press " + std::to_string(l.x); break;
            case Action::Slide: out += "slide " + std::to_string(l.x) + "," + std::to_string(l.y); break;
        }
        out += ";";
    }
    return out;
}

TEST(InputScript, LinesAreReadOrRefusedNamingTheLine) {
    const struct {
        std::string source, expected;
    } cases[] = {
        {"# comment\n\n  wait 3  # three frames\r\n", "3:wait 3;"},
        {"click 10 20\nrclick -5 7\nmove 799 599\nwheel -120\nsmudge 8 8\n",
         "1:click 10,20;2:rclick -5,7;3:move 799,599;4:wheel -120;5:smudge 8,8;"},
        {"key Return\nhold shift\nrelease SHIFT\nkey Alt+Return\nkey Ctrl+Z\nkey F1\nkey f10\nkey F12\nkey m\nkey 0",
         "1:key 28;2:hold 42;3:release 42;4:key 28a;5:key 44c;6:key 59;7:key 68;8:key 88;9:key 50;10:key 11;"},
        {"key PageDown\nkey Ctrl+Shift+A\n", "1:key 209;2:key 30cs;"},
        {"hold LeftButton\nrelease leftbutton\n", "1:hold button;2:release button;"},
        {"key LeftButton\n", "!line 1: unknown key 'LeftButton'"},
        {"until page\nuntil Choice 50\nuntil end 1\nuntil title",
         "1:until page 6000;2:until choice 50;3:until end 1;4:until title 6000;"},
        {"answer yes\nanswer No\nanswer ok\nanswer cancel", "1:answer 6;2:answer 7;3:answer 1;4:answer 2;"},
        {"answer abort\nanswer Retry\nanswer ignore", "1:answer 3;2:answer 4;3:answer 5;"},
        {"await\n", "1:await;"},
        {"await now\n", "!line 1: 'await' takes 0 operands"},
        {"type 湊 # not a comment\nshot page_1\n", "1:type [湊 # not a comment];2:shot page_1;"},
        {"wait\n", "!line 1: 'wait' takes 1 operands"},
        {"wait -1\n", "!line 1: '-1' is not a number from 0 to 100000000"},
        {"\nclick 1 2 3\n", "!line 2: 'click' takes 2 operands"},
        {"click 1 x\n", "!line 1: 'x' is not a number from -100000 to 100000"},
        {"key Meta+A\n", "!line 1: unknown key 'Meta+A'"},
        {"key F13\n", "!line 1: unknown key 'F13'"},
        {"until save\n", "!line 1: 'until' waits for page, choice, title or end, not 'save'"},
        {"until page 0\n", "!line 1: '0' is not a number from 1 to 100000000"},
        {"answer maybe\n", "!line 1: the answer is yes, no, ok, cancel, abort, retry or ignore, not 'maybe'"},
        {"shot ../x\n", "!line 1: a shot's name is a plain file name"},
        {"jump 3\n", "!line 1: unknown action 'jump'"},
        {"menu 40010\nchoose 1021 2\nPress 1\n", "1:menu 40010;2:choose 1021,2;3:press 1;"},
        {"menu シナリオ/セーブする\nmenu 1\n", "1:menu [シナリオ/セーブする];2:menu 1;"},
        {"menu 4x\n", "!line 1: '4x' is not a number from 1 to 65535"},
        {"menu\n", "!line 1: 'menu' takes 1 operands"},
        {"menu 0\n", "!line 1: '0' is not a number from 1 to 65535"},
        {"choose 1021\n", "!line 1: 'choose' takes 2 operands"},
        {"choose 1021 -1\n", "!line 1: '-1' is not a number from 0 to 65535"},
        {"press 65536\n", "!line 1: '65536' is not a number from 1 to 65535"},
        {"slide 1054 0\nSlide 1032 255\n", "1:slide 1054,0;2:slide 1032,255;"},
        {"slide 1054\n", "!line 1: 'slide' takes 2 operands"},
        {"slide 0 3\n", "!line 1: '0' is not a number from 1 to 65535"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.source), c.expected) << c.source;
}

TEST(EventLog, LinesAreTabSeparatedWithTheFrameFirstAndStayOneLine) {
    EXPECT_EQ(FormatLogLine(12, "text", {u"汐里", u"「a\tb\\c」\r\nd"}), "12\ttext\t汐里\t「a\\tb\\\\c」\\r\\nd");
    EXPECT_EQ(FormatLogLine(0, "title", {}), "0\ttitle");
    EXPECT_EQ(LogKind("ending"), "end");
    EXPECT_EQ(LogKind("page"), "page");
}

}  // namespace
