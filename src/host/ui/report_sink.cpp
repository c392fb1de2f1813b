#include "host/ui/report_sink.h"

#include <cstdio>
#include <string>

#include "lib/text.h"

namespace host {

namespace {

// Whether the text opens with a label of its own, a word and a colon ("Error: ..."), as some of
// the game's messages do: the copy then needs no caption in front of it.
bool OpensWithLabel(std::u16string_view text) {
    std::size_t letters = 0;
    while (letters < text.size() &&
           ((text[letters] >= u'A' && text[letters] <= u'Z') || (text[letters] >= u'a' && text[letters] <= u'z')))
        ++letters;
    return letters > 0 && text.substr(letters, 2) == u": ";
}

}  // namespace

void CopyBoxToStderr(std::u16string_view caption, std::u16string_view text) {
    if (OpensWithLabel(text))
        std::fprintf(stderr, "%s\n", Utf16ToUtf8(text).c_str());
    else
        std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
    std::fflush(stderr);
}

void WriteTraceToStderr(std::u16string_view text) {
    const std::string utf8 = Utf16ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

int ModalReportSink::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    // A notice or an error (a box with only OK) must stay readable after the window is gone,
    // as when it ends the program: stderr gets a copy. Questions are the player's business.
    if ((style & kMbButtonMask) == kMbOk) CopyBoxToStderr(caption, text);
    return modal_.MessageBox(caption, text, style);
}

void ModalReportSink::DebugOutput(std::u16string_view text) { WriteTraceToStderr(text); }

}  // namespace host
