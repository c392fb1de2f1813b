#include "tools/playtest/input_driver.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "app/frame_step.h"
#include "host/testhost/test_host.h"
#include "host/ui/menu.h"
#include "lib/text.h"
#include "tools/media/picture_writers.h"

namespace playtest {
namespace {

constexpr std::uint8_t kLeftControl = 0x1D, kLeftShift = 0x2A, kLeftAlt = 0x38;
constexpr int kLeftButton = 0, kRightButton = 1;
constexpr int kSmudgeSize = 8;

// The modifiers of a chord, then its key.
std::vector<std::uint8_t> ChordCodes(const KeyChord& key) {
    std::vector<std::uint8_t> codes;
    if (key.ctrl) codes.push_back(kLeftControl);
    if (key.alt) codes.push_back(kLeftAlt);
    if (key.shift) codes.push_back(kLeftShift);
    codes.push_back(key.code);
    return codes;
}

// A label as the menu shows it: a trailing "(&X)" goes whole, any other '&' alone.
std::u16string ShownLabel(std::u16string_view label) {
    if (label.size() >= 4 && label.substr(label.size() - 4, 2) == u"(&" && label.back() == u')') label.remove_suffix(4);
    std::u16string shown;
    for (char16_t c : label)
        if (c != u'&') shown.push_back(c);
    return shown;
}

// The command of the item at the end of a label path (popups, then the item, joined by '/').
std::optional<int> FindMenuCommand(const host::MenuModel& menu, std::u16string_view path) {
    const std::vector<host::MenuItem>* level = &menu.popups();
    for (;;) {
        const std::size_t slash = path.find(u'/');
        const std::u16string_view label = path.substr(0, slash);
        const auto found = std::find_if(level->begin(), level->end(), [&](const host::MenuItem& item) {
            return item.kind != host::MenuItem::Kind::Separator && ShownLabel(item.label) == label;
        });
        if (found == level->end()) return std::nullopt;
        if (slash == std::u16string_view::npos)
            return found->kind == host::MenuItem::Kind::Command ? std::optional<int>(found->command) : std::nullopt;
        level = &found->children;
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

InputDriver::InputDriver(std::vector<InputLine> lines, testhost::TestHost& host, std::filesystem::path shots,
                         std::function<void(std::string_view, std::u16string_view)> log)
    : lines_(std::move(lines)), host_(host), shots_(std::move(shots)), log_(std::move(log)) {}

void InputDriver::Notice(std::string_view kind) {
    if (until_ && kind == UntilName(until_->what)) until_->reached = true;
}

void InputDriver::OnFrame() {
    if (release_) {
        std::exchange(release_, nullptr)();
        return;
    }
    if (wait_frames_ > 0 && --wait_frames_ > 0) return;
    if (until_) {
        if (!until_->reached && --until_->frames_left > 0) return;
        if (!until_->reached) {
            const std::string what(UntilName(until_->what));
            log_("timeout", Utf8ToUtf16(what));
        }
        until_.reset();
    }
    while (next_ < lines_.size())
        if (Run(lines_[next_++])) return;
    // The script has run out: the game ends as when the player closes the window.
    QuitRequested = 1;
}

bool InputDriver::Run(const InputLine& line) {
    testhost::TestWindow& window = host_.test_window();
    switch (line.action) {
        case Action::Wait: wait_frames_ = line.x; return line.x > 0;
        case Action::Move: window.MoveCursor(line.x, line.y); return true;
        case Action::Wheel: window.TurnWheel(line.x); return true;
        case Action::Click:
        case Action::RightClick:
        case Action::Key: Press(line); return true;
        case Action::Hold:
            for (std::uint8_t code : ChordCodes(line.key)) window.Press(code);
            return true;
        case Action::Release:
            for (std::uint8_t code : ChordCodes(line.key)) window.Release(code);
            return true;
        case Action::HoldButton: window.PressButton(kLeftButton); return true;
        case Action::ReleaseButton: window.ReleaseButton(kLeftButton); return true;
        case Action::Until: until_ = std::make_unique<Until>(Until{line.until, line.max_frames}); return true;
        case Action::Answer: host_.scripted_modal().AnswerNext(line.answer); return false;
        case Action::Type:
        case Action::Choose:
        case Action::Press:
        case Action::Slide: InNextDialog(line); return false;
        case Action::Shot: Shot(line.text); return false;
        case Action::Smudge: window.Smudge({line.x, line.y, line.x + kSmudgeSize, line.y + kSmudgeSize}); return true;
        case Action::Await: {
            log_("await", u"");
            // The game stands still meanwhile; a closed input goes on at once.
            char answer[64];
            if (!std::fgets(answer, sizeof answer, stdin)) clearerr(stdin);
            return false;
        }
        case Action::Menu: PickMenu(line); return true;
    }
    return false;
}

void InputDriver::Press(const InputLine& line) {
    testhost::TestWindow& window = host_.test_window();
    if (line.action != Action::Key) {
        const int button = line.action == Action::Click ? kLeftButton : kRightButton;
        window.MoveCursor(line.x, line.y);
        window.PressButton(button);
        release_ = [&window, button] { window.ReleaseButton(button); };
        return;
    }
    // A key the menu takes as an accelerator becomes its command, as in the real window.
    const KeyChord& key = line.key;
    if (const auto command = host_.menu().TranslateAccelerator(key.code, key.ctrl, key.alt, key.shift)) {
        window.PostMessage({host::kMsgCommand, static_cast<std::uintptr_t>(*command), 0, {}});
        return;
    }
    const std::vector<std::uint8_t> codes = ChordCodes(key);
    for (std::uint8_t code : codes) window.Press(code);
    release_ = [&window, codes] {
        for (std::uint8_t code : codes) window.Release(code);
    };
}

void InputDriver::PickMenu(const InputLine& line) {
    const std::optional<int> command =
        line.text.empty() ? std::optional<int>(line.x) : FindMenuCommand(host_.menu(), Utf8ToUtf16(line.text));
    // A player cannot pick what the menu grays or does not have.
    if (!command || !host_.menu().Find(*command) || host_.menu().IsGrayed(*command)) {
        log_("grayed", Utf8ToUtf16(line.text.empty() ? std::to_string(line.x) : line.text));
        return;
    }
    host_.test_window().PostMessage({host::kMsgCommand, static_cast<std::uintptr_t>(*command), 0, {}});
}

void InputDriver::InNextDialog(const InputLine& line) {
    // A turn whose dialog failed to open was dropped by the modal layer untaken: only the driver
    // holds it then, and the lines go to the next dialog.
    if (turn_ && !turn_->taken && turn_.use_count() > 1) {
        turn_->steps.push_back(line);
        return;
    }
    turn_ = std::make_shared<DialogTurn>();
    turn_->steps.push_back(line);
    // The turn holds its steps itself, so it may run whenever the dialog opens: each text into
    // the next enabled edit field in order, each choice, press and slide as the player makes them, then
    // OK (Return) unless a button was pressed.
    host_.scripted_modal().OnNextDialog([turn = turn_, log = log_](host::Dialog& dialog) {
        turn->taken = true;
        log("dialog", dialog.caption());
        const auto control = [&dialog](const InputLine& step, const char* what) -> host::Control& {
            host::Control* found = dialog.Find(step.x);
            if (!found)
                throw std::runtime_error("line " + std::to_string(step.line) + ": the dialog has no " + what + " " +
                                         std::to_string(step.x));
            return *found;
        };
        std::size_t edits = 0;
        bool pressed = false;
        for (const InputLine& step : turn->steps) {
            if (dialog.ended()) break;
            if (step.action == Action::Type) {
                const std::vector<host::Control>& controls = dialog.controls();
                std::size_t seen = 0;
                for (const host::Control& field : controls)
                    if (field.kind == host::ControlKind::Edit && field.enabled && seen++ == edits) {
                        dialog.Type(field.id, Utf8ToUtf16(step.text));
                        break;
                    }
                ++edits;
            } else if (step.action == Action::Choose) {
                const host::Control& list = control(step, "list");
                if (step.y >= static_cast<int>(list.items.size()))
                    throw std::runtime_error("line " + std::to_string(step.line) + ": the list " +
                                             std::to_string(step.x) + " has no line " + std::to_string(step.y));
                log("item", list.items[static_cast<std::size_t>(step.y)]);
                dialog.Choose(step.x, step.y);
            } else if (step.action == Action::Slide) {
                if (control(step, "slider").kind != host::ControlKind::Slider)
                    throw std::runtime_error("line " + std::to_string(step.line) + ": the control " +
                                             std::to_string(step.x) + " is no slider");
                dialog.Slide(step.x, step.y);
            } else {
                control(step, "button");
                dialog.Click(step.x);
                pressed = true;
            }
        }
        if (!pressed && !dialog.ended()) dialog.Accept();
    });
}

void InputDriver::Shot(const std::string& name) {
    const testhost::TestWindow& window = host_.test_window();
    media::PngPicture picture;
    picture.width = host::kGameWidth;
    picture.height = host::kGameHeight;
    for (int y = 0; y < host::kGameHeight; ++y) {
        std::vector<std::uint8_t>& row = picture.rows.emplace_back();
        row.reserve(3 * host::kGameWidth);
        for (int x = 0; x < host::kGameWidth; ++x) {
            const std::uint32_t pixel = window.Pixel(x, y);
            row.insert(row.end(), {static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                                   static_cast<std::uint8_t>(pixel)});
        }
    }
    media::WriteFile(shots_ / (name + ".png"), media::EncodePng(picture));
}

}  // namespace playtest
