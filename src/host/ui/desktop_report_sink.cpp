#include "host/ui/desktop_report_sink.h"

#include <SDL.h>

#include "host/ui/modal_stack.h"
#include "host/ui/report_sink.h"
#include "lib/text.h"

namespace host {

int DesktopReportSink::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    CopyBoxToStderr(caption, text);
    const int default_answer = DefaultBoxAnswer(style);
    if ((style & kMbButtonMask) != kMbOk) return default_answer;
    const Uint32 kind = (style & kMbIconMask) == kMbIconStop          ? SDL_MESSAGEBOX_ERROR
                        : (style & kMbIconMask) == kMbIconExclamation ? SDL_MESSAGEBOX_WARNING
                                                                      : SDL_MESSAGEBOX_INFORMATION;
    // Fails at once without a display: the copy on stderr is then what the player gets.
    SDL_ShowSimpleMessageBox(kind, Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str(), nullptr);
    return kIdOk;
}

void DesktopReportSink::DebugOutput(std::u16string_view text) { WriteTraceToStderr(text); }

}  // namespace host
