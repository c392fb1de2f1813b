// Small helpers shared across the program: the locked random generator, UTF-16 code points and
// display columns, CP932 conversion into a buffer, the rectangle hit test, block swapping and the
// tagged value of the text-element arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

// 0..32767 from the classic linear congruential sequence (seed x 214013 + 2531011); the seed is
// 1 at start, so the first results are 41, 18467, 6334. Safe from any thread.
int LockedRand();
// Restarts the sequence from `seed` (tests).
void ResetLockedRand(std::uint32_t seed = 1);

// Display columns of a text: 2 for each code point of 256 and above except the half-width
// katakana U+FF61-U+FF9F, else 1 (surrogate pairs joined).
int CountTextColumns(std::u16string_view text);

// Reads one code point. `available` is the number of units that may be read (negative: the text
// is zero-terminated and may be read up to its terminator). Returns the pointer past the code
// point, or null when no unit is available. A high surrogate joins only a following low
// surrogate (0xDC00-0xDFFF); otherwise any unit stands for itself.
const char16_t* DecodeUtf16CodePoint(const char16_t* text, int available, char32_t& code_point);
// Writes a code point as one or two units and returns how many; a value above U+10FFFF is
// written as U+FFFD.
int EncodeUtf16(char16_t* out, char32_t code_point);

// Converts CP932 bytes into `out`; returns the units written, or with an empty `out` the units
// needed. A result that does not fit writes nothing and returns 0.
std::size_t AnsiToWide(std::span<char16_t> out, std::string_view bytes);

// Index of the first rectangle holding the point (right and bottom edges excluded), or -1.
// Works on any record with left, top, right and bottom members.
template <class Rect>
int FindRectAtPoint(const Rect* rects, int count, int x, int y) {
    for (int i = 0; i < count; ++i) {
        const Rect& r = rects[i];
        if (r.left <= x && x <= r.right - 1 && r.top <= y && y <= r.bottom - 1) return i;
    }
    return -1;
}

// Exchanges the contents of two blocks that do not overlap.
void SwapMemory(void* a, void* b, std::size_t bytes);

// The {type, value} element of the text-element arrays. Type 7 owns a heap buffer (its value is
// the buffer's address), so the element can be moved but not copied; other types own nothing.
class TaggedValue {
public:
    static constexpr std::uint32_t kOwnedBuffer = 7;

    TaggedValue() = default;
    // A value that owns nothing; type 7 is refused here (use the buffer constructor).
    TaggedValue(std::uint32_t type, std::uintptr_t value);
    explicit TaggedValue(std::unique_ptr<std::uint8_t[]> buffer);

    std::uint32_t type() const { return type_; }
    std::uintptr_t value() const;
    std::uint8_t* buffer() const { return buffer_.get(); }

private:
    std::uint32_t type_ = 0;
    std::uintptr_t value_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
};
