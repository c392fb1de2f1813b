// Cutting text to a fixed field without splitting a character.
#pragma once

#include <cstddef>
#include <string_view>

// The number of units of `text` that fit in `max_units` without splitting a surrogate pair: when
// the cut would fall between a high and a low surrogate, the high one goes too.
inline std::size_t Utf16CutLength(std::u16string_view text, std::size_t max_units) {
    if (text.size() <= max_units) return text.size();
    std::size_t length = max_units;
    const char16_t last = length > 0 ? text[length - 1] : 0;
    const char16_t next = text[length];
    if (last >= 0xD800 && last <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) --length;
    return length;
}
