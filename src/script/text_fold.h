// Case folding as the script language does it: ASCII letters only.
#pragma once

#include <string_view>

namespace TextScript {

inline char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

inline bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

inline bool BeginsWithDigit(std::u16string_view text) { return !text.empty() && text[0] >= u'0' && text[0] <= u'9'; }

}  // namespace TextScript
