// The program's text layer.
//
// The program's own text is UTF-16 (char16_t). Scripts, XML, archive names and stored names are
// CP932; UTF-8 appears only at the edges (file names, the display layer, stderr). Conversions are
// lenient: a byte or unit that cannot be converted becomes a replacement (U+FFFD when decoding,
// '?' when encoding to CP932) and never fails the conversion.
//
// FormatW is the one formatter for the system's printf-style formats, whose texts and scripts
// use the wide-printf meanings: %s takes a UTF-16 string, %hs a narrow (CP932) string, %c a UTF-16
// unit (%hc a narrow byte), %d %i %u %x %X integers, %p a pointer, %% a percent sign; with the
// flags '-' and '0', a width (or '*'), and a precision ('.N' or '.*'). Output is bounded by the
// destination's capacity and always terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

std::u16string Cp932ToUtf16(std::string_view bytes);
std::string Utf16ToCp932(std::u16string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Length of a zero-terminated UTF-16 text.
std::size_t StrLen16(const char16_t* text);
// Copies at most capacity - 1 units and terminates; returns the units copied.
std::size_t StrCopy16(char16_t* dst, std::size_t capacity, std::u16string_view src);

// One argument of a format call, captured with its kind so that a mismatched conversion
// prints a marker instead of reading the wrong type.
class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Pointer, Wide, Narrow };

    template <class T>
    requires(std::is_integral_v<T> || std::is_enum_v<T>) FormatArg(T value) {  // NOLINT(google-explicit-constructor)
        if constexpr (std::is_enum_v<T>) {
            kind_ = Kind::Signed;
            signed_ = static_cast<std::int64_t>(value);
        } else if constexpr (std::is_same_v<T, char>) {
            kind_ = Kind::Unsigned;
            unsigned_ = static_cast<unsigned char>(value);
        } else if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = value;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = static_cast<std::uint64_t>(value);
        }
    }
    FormatArg(const char16_t* text) : kind_(Kind::Wide), wide_(text ? text : u"(null)") {}
    FormatArg(char16_t* text) : FormatArg(static_cast<const char16_t*>(text)) {}
    FormatArg(const std::u16string& text) : kind_(Kind::Wide), wide_(text) {}
    FormatArg(std::u16string_view text) : kind_(Kind::Wide), wide_(text) {}
    FormatArg(const char* text) : kind_(Kind::Narrow), narrow_(text ? text : "(null)") {}
    FormatArg(char* text) : FormatArg(static_cast<const char*>(text)) {}
    FormatArg(const std::string& text) : kind_(Kind::Narrow), narrow_(text) {}
    FormatArg(std::string_view text) : kind_(Kind::Narrow), narrow_(text) {}
    FormatArg(const void* pointer) : kind_(Kind::Pointer), unsigned_(reinterpret_cast<std::uintptr_t>(pointer)) {}
    FormatArg(std::nullptr_t) : kind_(Kind::Pointer), unsigned_(0) {}

    Kind kind() const { return kind_; }
    bool IsInteger() const { return kind_ == Kind::Signed || kind_ == Kind::Unsigned || kind_ == Kind::Pointer; }
    std::int64_t AsSigned() const { return kind_ == Kind::Signed ? signed_ : static_cast<std::int64_t>(unsigned_); }
    std::uint64_t AsUnsigned() const { return kind_ == Kind::Signed ? static_cast<std::uint64_t>(signed_) : unsigned_; }
    std::u16string_view wide() const { return wide_; }
    std::string_view narrow() const { return narrow_; }

private:
    Kind kind_;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    std::u16string_view wide_;
    std::string_view narrow_;
};

// Formats into dst (capacity units including the terminator); returns the units written,
// not counting the terminator. A capacity of 0 writes nothing.
std::size_t FormatBuffer(char16_t* dst, std::size_t capacity, std::u16string_view format,
                         std::span<const FormatArg> args);
// The same without a bound.
std::u16string FormatToString(std::u16string_view format, std::span<const FormatArg> args);

template <class... Args>
std::size_t FormatW(char16_t* dst, std::size_t capacity, std::u16string_view format, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return FormatBuffer(dst, capacity, format, std::span<const FormatArg>(list, sizeof...(Args)));
}

template <std::size_t N, class... Args>
std::size_t FormatW(char16_t (&dst)[N], std::u16string_view format, const Args&... args) {
    return FormatW(dst, N, format, args...);
}

template <class... Args>
std::u16string FormatString(std::u16string_view format, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return FormatToString(format, std::span<const FormatArg>(list, sizeof...(Args)));
}
