// The open modals, bottom to top: message boxes over dialogs, dialogs over dialogs, to any
// depth. Only the top one takes input; the window layer draws the others beneath it, and the
// test host runs the same stack with scripted answers. Each modal is taken off the stack
// however its run ends, an exception included, and the exception goes on to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui/dialog.h"

namespace host {

// The answers of a message box's buttons (lib/report_hook.h's kIdOk ...), in the order shown.
std::span<const int> BoxAnswers(unsigned style);
// The answer of the button that Return presses: the second with kMbDefaultButton2, else the first.
int DefaultBoxAnswer(unsigned style);
// The label of an answer's button, its access key marked ("はい(&Y)").
std::u16string_view BoxButtonLabel(int answer);
// The answer of the button of a box of `style` whose label marks `key` (upper case); 0 for none.
int BoxAnswerForKey(unsigned style, char16_t key);

struct OpenModal {
    std::uint64_t serial = 0;  // tells a modal from an earlier one at the same depth
    Dialog* dialog = nullptr;  // null for a message box
    // A message box: what it says, its style and its answer (0 until answered).
    std::u16string caption, text;
    unsigned style = 0;
    int answer = 0;
    // The program was asked to end while this modal was open: its run gives up at its next turn.
    bool quit = false;
};

class ModalStack {
public:
    // Runs a message box: on the stack while `answer` picks the answer from it.
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style,
                   const std::function<int(OpenModal&)>& answer);
    // Runs a dialog: on the stack for its OnInit and then `run`, which returns once it has
    // ended; returns the dialog's result.
    std::intptr_t RunDialog(Dialog& dialog, const std::function<void(OpenModal&)>& run);

    // The program is asked to end: every open box takes its last answer (No, Cancel or OK) and
    // every dialog is cancelled when its run next looks (the top one first, as it runs first).
    void RequestQuit();
    // Cancels a dialog whose run was asked to end, as by its close box (ended with -1 when the
    // dialog class stays open even then). Returns whether it was asked to end.
    static bool HonourQuit(OpenModal& modal);

    std::size_t depth() const { return open_.size(); }
    bool empty() const { return open_.empty(); }
    OpenModal& top() { return *open_.back(); }
    OpenModal& at(std::size_t index) { return *open_[index]; }
    const OpenModal& at(std::size_t index) const { return *open_[index]; }

private:
    OpenModal& Push(OpenModal modal);

    // Held by pointer: a run keeps its modal while modals above it come and go.
    std::vector<std::unique_ptr<OpenModal>> open_;
    std::uint64_t serial_ = 0;
};

}  // namespace host
