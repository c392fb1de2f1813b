#include "tools/playtest/input_driver.h"

#include "app/frame_step.h"
#include "host/testhost/test_host.h"
#include "lib/text.h"
#include "tools/media/picture_writers.h"

namespace playtest {
namespace {

constexpr std::uint8_t kLeftControl = 0x1D, kLeftShift = 0x2A, kLeftAlt = 0x38;
constexpr int kLeftButton = 0, kRightButton = 1;

// The modifiers of a chord, then its key.
std::vector<std::uint8_t> ChordCodes(const KeyChord& key) {
    std::vector<std::uint8_t> codes;
    if (key.ctrl) codes.push_back(kLeftControl);
    if (key.alt) codes.push_back(kLeftAlt);
    if (key.shift) codes.push_back(kLeftShift);
    codes.push_back(key.code);
    return codes;
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
        case Action::Until: until_ = std::make_unique<Until>(Until{line.until, line.max_frames}); return true;
        case Action::Answer: host_.scripted_modal().AnswerNext(line.answer); return false;
        case Action::Type: Type(line.text); return false;
        case Action::Shot: Shot(line.text); return false;
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

void InputDriver::Type(const std::string& text) {
    if (!typed_ || typed_->taken) {
        typed_ = std::make_shared<TypedFields>();
        // The next dialog: each text into the next edit field, in order, then OK (Return). The
        // turn holds the texts itself, so it may run whenever the dialog opens.
        host_.scripted_modal().OnNextDialog([fields = typed_](host::Dialog& dialog) {
            fields->taken = true;
            std::size_t next = 0;
            for (host::Control& control : dialog.controls())
                if (control.kind == host::ControlKind::Edit && control.enabled && next < fields->texts.size())
                    dialog.Type(control.id, fields->texts[next++]);
            if (!dialog.ended()) dialog.Accept();
        });
    }
    typed_->texts.push_back(Utf8ToUtf16(text));
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
