#include "host/ui/desktop_report_sink.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "host/ui/modal_stack.h"
#include "lib/text.h"

namespace host {

int DesktopReportSink::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    const std::string caption_utf8 = Utf16ToUtf8(caption), text_utf8 = Utf16ToUtf8(text);
    std::fprintf(stderr, "%s: %s\n", caption_utf8.c_str(), text_utf8.c_str());
    std::fflush(stderr);
    const std::span<const int> answers = BoxAnswers(style);
    const int default_answer = (style & kMbDefaultButton2) && answers.size() > 1 ? answers[1] : answers[0];
    if ((style & kMbButtonMask) != kMbOk) return default_answer;
    const Uint32 kind = (style & kMbIconMask) == kMbIconStop          ? SDL_MESSAGEBOX_ERROR
                        : (style & kMbIconMask) == kMbIconExclamation ? SDL_MESSAGEBOX_WARNING
                                                                      : SDL_MESSAGEBOX_INFORMATION;
    // Fails at once without a display: the copy on stderr is then what the player gets.
    SDL_ShowSimpleMessageBox(kind, caption_utf8.c_str(), text_utf8.c_str(), nullptr);
    return kIdOk;
}

void DesktopReportSink::DebugOutput(std::u16string_view text) {
    const std::string utf8 = Utf16ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

}  // namespace host
