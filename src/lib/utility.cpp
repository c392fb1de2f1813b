#include "lib/utility.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "lib/text.h"

namespace {
std::atomic<std::uint32_t> g_rand_seed{1};
}

int LockedRand() {
    std::uint32_t seed = g_rand_seed.load(std::memory_order_relaxed);
    std::uint32_t next;
    do {
        next = seed * 214013u + 2531011u;
    } while (!g_rand_seed.compare_exchange_weak(seed, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & 0x7FFF);
}

void ResetLockedRand(std::uint32_t seed) { g_rand_seed.store(seed, std::memory_order_relaxed); }

int CountTextColumns(std::u16string_view text) {
    int columns = 0;
    const char16_t* cursor = text.data();
    const char16_t* end = text.data() + text.size();
    char32_t code_point = 0;
    while (cursor < end) {
        cursor = DecodeUtf16CodePoint(cursor, static_cast<int>(std::min<std::ptrdiff_t>(end - cursor, INT32_MAX)),
                                      code_point);
        const bool half_width_kana = code_point >= 0xFF61 && code_point <= 0xFF9F;
        columns += code_point >= 256 && !half_width_kana ? 2 : 1;
    }
    return columns;
}

const char16_t* DecodeUtf16CodePoint(const char16_t* text, int available, char32_t& code_point) {
    if (available == 0) return nullptr;
    const char16_t unit = text[0];
    code_point = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && available != 1) {
        // A negative count means zero-terminated: the terminator is never a low surrogate.
        const char16_t low = text[1];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            code_point = (static_cast<char32_t>(unit - 0xD7C0) << 10) | (low - 0xDC00);
            return text + 2;
        }
    }
    return text + 1;
}

int EncodeUtf16(char16_t* out, char32_t code_point) {
    if (code_point > 0x10FFFF) code_point = 0xFFFD;
    if (code_point < 0x10000) {
        out[0] = static_cast<char16_t>(code_point);
        return 1;
    }
    out[0] = static_cast<char16_t>((code_point >> 10) + 0xD7C0);
    out[1] = static_cast<char16_t>((code_point & 0x3FF) + 0xDC00);
    return 2;
}

std::size_t AnsiToWide(std::span<char16_t> out, std::string_view bytes) {
    const std::u16string wide = Cp932ToUtf16(bytes);
    if (out.empty()) return wide.size();
    if (wide.size() > out.size()) return 0;
    std::copy(wide.begin(), wide.end(), out.begin());
    return wide.size();
}

void SwapMemory(void* a, void* b, std::size_t bytes) {
    auto* first = static_cast<std::uint8_t*>(a);
    std::swap_ranges(first, first + bytes, static_cast<std::uint8_t*>(b));
}

TaggedValue::TaggedValue(std::uint32_t type, std::uintptr_t value) : type_(type), value_(value) {
    if (type == kOwnedBuffer) throw std::invalid_argument("TaggedValue: type 7 must own its buffer");
}

TaggedValue::TaggedValue(std::unique_ptr<std::uint8_t[]> buffer) : type_(kOwnedBuffer), buffer_(std::move(buffer)) {}

std::uintptr_t TaggedValue::value() const {
    return type_ == kOwnedBuffer ? reinterpret_cast<std::uintptr_t>(buffer_.get()) : value_;
}
