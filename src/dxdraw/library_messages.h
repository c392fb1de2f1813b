// How the picture decoders report what their libraries say. Both calls are safe to make from a
// library callback: they never throw, whatever the reporting hook does.
#pragma once

#include <string_view>

enum class LibraryMessageKind { Error, Warning };

// A message box: the library's message (narrow, CP932), then `suffix`, with an error or a
// warning icon.
void ShowLibraryMessage(const char* message, std::u16string_view suffix, std::u16string_view caption,
                        LibraryMessageKind kind) noexcept;
// One line of debugger output: `prefix` and the library's message.
void TraceLibraryMessage(std::u16string_view prefix, const char* message) noexcept;
