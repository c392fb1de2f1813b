// The reporting hook while the game has no window: before it opens (a settings folder that
// cannot be made, a response file that is missing, a display that does not start, a lock that
// cannot be taken) and after it has gone. A box still reaches the player: SDL shows one on the
// desktop without a window of ours, and stderr gets a copy, which is all there is without a
// display. Debugger output goes to stderr.
#pragma once

#include "lib/report_hook.h"

namespace host {

class DesktopReportSink final : public ReportSink {
public:
    // A notice or an error gets its OK; a question, which the game never asks without its window,
    // is answered with its default button, as Return would.
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    void DebugOutput(std::u16string_view text) override;
};

}  // namespace host
