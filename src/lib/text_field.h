// Copying text into fixed-size fields without splitting a character.
//
// Names and texts of the system live in fixed fields (a UTF-16 field of 64 units, a CP932 field of
// 32 bytes). A text that is too long is cut at the last whole character that still leaves room
// for the terminating zero: a surrogate pair, or a CP932 lead byte and its trail, stays whole or
// goes whole.
#pragma once

#include <cstddef>
#include <string_view>

// Whether a CP932 byte starts a two-byte character.
constexpr bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Units of text that fit a field of capacity units together with its terminating zero.
std::size_t FitUtf16(std::u16string_view text, std::size_t capacity);
// Bytes of CP932 text that fit a field of capacity bytes together with its terminating zero.
// A lead byte without its trail at the end of the text is left out.
std::size_t FitCp932(std::string_view text, std::size_t capacity);

// Copies what fits and terminates; returns the units (bytes) copied. A capacity of 0 writes
// nothing. The rest of the field after the terminator keeps its contents.
std::size_t CopyField16(char16_t* dst, std::size_t capacity, std::u16string_view text);
std::size_t CopyFieldCp932(char* dst, std::size_t capacity, std::string_view text);

template <std::size_t N>
std::size_t CopyField16(char16_t (&dst)[N], std::u16string_view text) {
    return CopyField16(dst, N, text);
}
template <std::size_t N>
std::size_t CopyFieldCp932(char (&dst)[N], std::string_view text) {
    return CopyFieldCp932(dst, N, text);
}

// The text of a field up to its terminator, never past the field's end.
template <std::size_t N>
constexpr std::u16string_view FieldText(const char16_t (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != u'\0') ++length;
    return {field, length};
}
