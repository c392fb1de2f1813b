#include "lib/text_field.h"

#include <algorithm>

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

template <class Char>
std::size_t CopyFitted(Char* dst, std::size_t capacity, std::basic_string_view<Char> text,
                       std::size_t (*fit)(std::basic_string_view<Char>, std::size_t)) {
    if (capacity == 0) return 0;
    const std::size_t n = fit(text, capacity);
    std::copy_n(text.begin(), n, dst);
    dst[n] = 0;
    return n;
}

}  // namespace

std::size_t FitUtf16(std::u16string_view text, std::size_t capacity) {
    if (capacity == 0) return 0;
    std::size_t n = std::min(text.size(), capacity - 1);
    // Cutting between the two halves of a pair would leave a lone high surrogate behind.
    if (n > 0 && n < text.size() && IsHighSurrogate(text[n - 1]) && IsLowSurrogate(text[n])) --n;
    return n;
}

std::size_t FitCp932(std::string_view text, std::size_t capacity) {
    if (capacity == 0) return 0;
    const std::size_t limit = std::min(text.size(), capacity - 1);
    std::size_t n = 0;
    while (n < limit) {
        const std::size_t step = IsCp932LeadByte(static_cast<unsigned char>(text[n])) ? 2 : 1;
        if (n + step > limit) break;
        n += step;
    }
    return n;
}

std::size_t CopyField16(char16_t* dst, std::size_t capacity, std::u16string_view text) {
    return CopyFitted(dst, capacity, text, FitUtf16);
}

std::size_t CopyFieldCp932(char* dst, std::size_t capacity, std::string_view text) {
    return CopyFitted(dst, capacity, text, FitCp932);
}
