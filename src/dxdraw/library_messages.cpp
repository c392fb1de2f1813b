#include "dxdraw/library_messages.h"

#include <string>

#include "lib/report.h"
#include "lib/text.h"

void ShowLibraryMessage(const char* message, std::u16string_view suffix, std::u16string_view caption,
                        LibraryMessageKind kind) noexcept {
    try {
        std::u16string text = Cp932ToUtf16(message ? message : "");
        text += suffix;
        ShowMessage(caption, text, kMbOk | (kind == LibraryMessageKind::Error ? kMbIconStop : kMbIconExclamation));
    } catch (...) {
        // The library is in the middle of a call and cannot unwind; the message is lost.
    }
}

void TraceLibraryMessage(std::u16string_view prefix, const char* message) noexcept {
    try {
        std::u16string text(prefix);
        text += Cp932ToUtf16(message ? message : "");
        text += u'\n';
        DebugOutput(text);
    } catch (...) {}
}
