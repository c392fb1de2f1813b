// Plays an input script into the test host while the engine runs.
//
// The engine owns the loop: every wait steps frames, and the test window calls its frame hook at
// the end of each. The driver is that hook. At each frame it finishes what the last line started
// (lets a clicked button or a pressed key go a frame after the press, counts down a wait, checks
// an until), then runs the following lines that take no frame (answer, type, choose, press,
// shot) up to the next one that does. So the engine sees a press in the frame after the line ran
// and its release in the frame after that, exactly as from a player, and nothing runs inside the
// engine's own code but this hook and the turn it leaves for the next dialog, which the modal
// layer runs when the dialog opens. Events of the game end an until through Notice. When the
// script has run out, the driver asks the game to quit as a confirmed close does.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/playtest/input_script.h"

namespace testhost {
class TestHost;
}

namespace playtest {

class InputDriver {
public:
    // `log` writes the tool's own events (timeout, grayed, dialog, item); shots go to `shots` (created when needed).
    InputDriver(std::vector<InputLine> lines, testhost::TestHost& host, std::filesystem::path shots,
                std::function<void(std::string_view kind, std::u16string_view field)> log);

    // Runs the lines that take no frame; called once before the game starts and then by the
    // frame hook after every frame.
    void OnFrame();
    // An event as logged ("page", "choice", "title", "end", ...).
    void Notice(std::string_view kind);
    bool finished() const { return next_ >= lines_.size() && !busy(); }

private:
    bool busy() const { return release_ || wait_frames_ > 0 || until_; }
    // Runs one line; true when it takes frames.
    bool Run(const InputLine& line);
    void Press(const InputLine& line);
    void PickMenu(const InputLine& line);
    // Adds a step to what the player does in the next dialog.
    void InNextDialog(const InputLine& line);
    void Shot(const std::string& name);

    std::vector<InputLine> lines_;
    testhost::TestHost& host_;
    std::filesystem::path shots_;
    std::function<void(std::string_view, std::u16string_view)> log_;
    std::size_t next_ = 0;
    std::function<void()> release_;  // lets go of what the last click or key pressed
    int wait_frames_ = 0;
    struct Until {
        UntilWhat what;
        int frames_left;
        bool reached = false;
    };
    std::unique_ptr<Until> until_;
    // The next dialog's steps (type, choose, press), shared with its scripted turn; once that
    // dialog has run them, the next such line starts a new turn.
    struct DialogTurn {
        std::vector<InputLine> steps;
        bool taken = false;
    };
    std::shared_ptr<DialogTurn> turn_;
};

}  // namespace playtest
