// The playthrough tool's input script: what the player does, one action a line.
//
//   wait N                 let N frames pass
//   click X Y, rclick X Y  left or right click at X, Y (game pixels)
//   move X Y               move the pointer
//   wheel N                turn the wheel by N (120 a notch, positive away from the player)
//   key NAME               press and let go; hold NAME and release NAME keep it down between
//                          (NAME LeftButton: the left mouse button, where the pointer is; a drag
//                          is `move`, `hold LeftButton`, `move`, `release LeftButton`)
//   until WHAT [MAXFRAMES] let frames pass until the next page wait, choice menu or turn selection
//                          (once its buttons are up), title screen or ending (WHAT: page, choice,
//                          title, end); without MAXFRAMES 6000
//   answer yes|no|ok|cancel|abort|retry|ignore  the answer of the next message box
//   type TEXT              typed into the next dialog's edit fields (one field a line, in order)
//   shot NAME              the screen as NAME.png in the shots folder
//   smudge X Y             the colours of the window's 8 x 8 pixels from X, Y turned over behind
//                          the views' back: a difference that --check-frames must report (its
//                          own test)
//   await                  the log says `await` and the run stops until a line comes on the
//                          tool's standard input (a test changes the save file between two steps)
//   menu ID|PATH           pick the menu item of command ID (40010 save, 40011 load, ...), or of
//                          the label path PATH (the popups' labels and the item's, joined by '/',
//                          each as shown: without its access key, "セーブする(&S)" is セーブする,
//                          so シナリオ/セーブする), as the player does: its command goes to the
//                          window; a grayed or missing item is not picked (the log says
//                          `grayed ID|PATH`)
//   choose CONTROL INDEX   in the next dialog, choose line INDEX (from 0) of list CONTROL
//   press CONTROL          in the next dialog, press button CONTROL
//   slide CONTROL POSITION in the next dialog, drag slider CONTROL to POSITION (as the slider
//                          counts: a vertical one from its top)
//
// type, choose, press and slide make up what the player does in the next dialog, in the order of the
// lines; without a press the dialog is then confirmed with OK (Return). A choose, press or
// slide of a control the dialog does not have ends the run with an error.
//
// Key names: Return, Space, Escape, Tab, Backspace, Control, Shift, Alt, Up, Down, Left, Right,
// PageUp, PageDown, Home, End, F1-F12, the letters A-Z and digits 0-9, with any of the prefixes
// "Ctrl+", "Alt+" and "Shift+" (Alt+Return, Ctrl+Z). Names are compared ignoring case.
// A line whose first other character is '#' is a comment, and so is everything from a '#' that
// follows a blank, except in the text of `type`, which runs to the line's end. Blank lines are
// ignored. The script is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace playtest {

// A key with the modifiers held while it is pressed.
struct KeyChord {
    std::uint8_t code = 0;  // scan code
    bool ctrl = false, alt = false, shift = false;
    bool operator==(const KeyChord&) const = default;
};

enum class Action {
    Wait,
    Click,
    RightClick,
    Move,
    Wheel,
    Key,
    Hold,
    Release,
    HoldButton,
    ReleaseButton,
    Until,
    Answer,
    Type,
    Shot,
    Smudge,
    Await,
    Menu,
    Choose,
    Press,
    Slide
};
enum class UntilWhat { Page, Choice, Title, End };

inline constexpr int kDefaultUntilFrames = 6000;

struct InputLine {
    Action action = Action::Wait;
    int line = 0;      // in the script, for messages
    int x = 0, y = 0;  // click, rclick, move, smudge; wait's count, wheel's amount, menu's command, the
                       // control of choose, press and slide in x; choose's line and slide's
                       // position in y
    KeyChord key;      // key, hold, release
    UntilWhat until = UntilWhat::Page;
    int max_frames = kDefaultUntilFrames;
    int answer = 0;    // kIdYes, kIdNo, kIdOk, kIdCancel, kIdAbort, kIdRetry or kIdIgnore
    std::string text;  // type (UTF-8), shot (the file's name), menu's label path (UTF-8)
};

// A line that cannot be read: the message names the line.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::optional<KeyChord> ParseKeyChord(std::string_view name);
// The name the log and the messages use for an until's target.
std::string_view UntilName(UntilWhat what);

// Reads a whole script; throws InputError at the first line it cannot read.
std::vector<InputLine> ParseInputScript(std::string_view script);

}  // namespace playtest
