// The error exception: the one record the program throws for a fatal, reportable error.
//
// A plain record thrown by value. Raise sites construct it with their source file and line,
// call Format with a second record as `out`, and throw the copy; ThrowError does all three.
// Type 1 means quit quietly; every other type is reported to the player.
#pragma once

#include <cstdint>
#include <new>

#include "lib/text.h"

template <class CharT>
struct ExceptionHandleT {
    static constexpr std::size_t kTextUnits = 256;

    CharT file[kTextUnits] = {};  // raising source file, relative to the source root
    std::uint32_t line = 0;       // source line of the raise
    std::uintptr_t pointer = 0;   // a free value shown beside the message (an address fits)
    CharT message[kTextUnits] = {};
    std::uint32_t type = 0;  // 1 = quit quietly

    ExceptionHandleT() = default;
    ExceptionHandleT(std::u16string_view source_file, std::uint32_t source_line) : line(source_line) {
        StrCopy16(file, kTextUnits, source_file);
    }

    // Stores type and pointer, formats the message (cut at 255 units), copies the whole record
    // into `out` and returns it. Never throws.
    template <class... Args>
    ExceptionHandleT& Format(ExceptionHandleT& out, std::uint32_t error_type, std::uintptr_t value,
                             std::u16string_view format, const Args&... args) {
        type = error_type;
        pointer = value;
        FormatW(message, kTextUnits, format, args...);
        if (&out != this) out = *this;
        return out;
    }

    // Empties both texts; line, pointer and type keep their values.
    void Clear() {
        file[0] = 0;
        message[0] = 0;
    }
};

using ExceptionHandle = ExceptionHandleT<char16_t>;

// Raises the error exception from a site: source file, line, type, pointer value and message.
template <class... Args>
[[noreturn]] void ThrowError(std::u16string_view source_file, std::uint32_t source_line, std::uint32_t type,
                             std::uintptr_t pointer, std::u16string_view format, const Args&... args) {
    ExceptionHandle site(source_file, source_line);
    ExceptionHandle out;
    throw site.Format(out, type, pointer, format, args...);
}

// Runs `load` and returns what it gives; memory running out inside it raises the error exception
// "Out of memory while loading WHAT." instead. A file too big for memory is bad data like any
// other: the player learns which one it was, and what it half built is freed on the way out.
template <class Load>
decltype(auto) CatchOutOfMemory(std::u16string_view source_file, std::uint32_t source_line, std::u16string_view what,
                                Load&& load) {
    try {
        return load();
    } catch (const std::bad_alloc&) {
        ThrowError(source_file, source_line, 0, 0, u"Out of memory while loading %s.", what);
    }
}
