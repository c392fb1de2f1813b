#include "lib/text.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace {

// One iconv converter per direction and thread, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input. On an unconvertible or incomplete sequence the replacement
    // (already in the target encoding) is written and `skip_unit` input bytes are passed over.
    std::string Run(const char* in, std::size_t in_size, std::string_view replacement, std::size_t skip_unit) {
        std::string out;
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(in_size * 2 + 16);
        char* src = const_cast<char*>(in);
        std::size_t src_left = in_size;
        char* dst = out.data();
        std::size_t dst_left = out.size();
        while (src_left > 0) {
            if (iconv(cd_, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                std::size_t used = out.size() - dst_left;
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dst_left = out.size() - used;
                continue;
            }
            // EILSEQ or EINVAL: replace and move on.
            if (dst_left < replacement.size()) {
                std::size_t used = out.size() - dst_left;
                out.resize(out.size() * 2 + replacement.size());
                dst = out.data() + used;
                dst_left = out.size() - used;
            }
            for (char c : replacement) *dst++ = c;
            dst_left -= replacement.size();
            std::size_t skip = skip_unit < src_left ? skip_unit : src_left;
            src += skip;
            src_left -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(out.size() - dst_left);
        return out;
    }

private:
    iconv_t cd_;
};

struct Converters {
    Converter cp932_to_utf16{"UTF-16LE", "CP932"};
    Converter utf16_to_cp932{"CP932", "UTF-16LE"};
    Converter utf16_to_utf8{"UTF-8", "UTF-16LE"};
    Converter utf8_to_utf16{"UTF-16LE", "UTF-8"};
};

Converters& ThreadConverters() {
    thread_local Converters converters;
    return converters;
}

const std::string_view kReplacement16("\xFD\xFF", 2);  // U+FFFD, little-endian

std::u16string BytesToUtf16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

std::string Utf16ToBytes(std::u16string_view text) {
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view bytes) {
    return BytesToUtf16(ThreadConverters().cp932_to_utf16.Run(bytes.data(), bytes.size(), kReplacement16, 1));
}

std::string Utf16ToCp932(std::u16string_view text) {
    std::string bytes = Utf16ToBytes(text);
    return ThreadConverters().utf16_to_cp932.Run(bytes.data(), bytes.size(), "?", 2);
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string bytes = Utf16ToBytes(text);
    return ThreadConverters().utf16_to_utf8.Run(bytes.data(), bytes.size(), "\xEF\xBF\xBD", 2);
}

std::u16string Utf8ToUtf16(std::string_view text) {
    return BytesToUtf16(ThreadConverters().utf8_to_utf16.Run(text.data(), text.size(), kReplacement16, 1));
}

std::size_t StrLen16(const char16_t* text) {
    std::size_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

std::size_t StrCopy16(char16_t* dst, std::size_t capacity, std::u16string_view src) {
    if (capacity == 0) return 0;
    std::size_t n = src.size() < capacity - 1 ? src.size() : capacity - 1;
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    dst[n] = 0;
    return n;
}

namespace {

// Where formatted units go: a bounded buffer or a growing string.
class BoundedOutput {
public:
    BoundedOutput(char16_t* dst, std::size_t capacity) : dst_(dst), limit_(capacity ? capacity - 1 : 0) {}
    void Put(char16_t c) {
        if (used_ < limit_) dst_[used_++] = c;
    }
    std::size_t used() const { return used_; }

private:
    char16_t* dst_;
    std::size_t limit_;
    std::size_t used_ = 0;
};

class StringOutput {
public:
    void Put(char16_t c) { text_.push_back(c); }
    std::u16string& text() { return text_; }

private:
    std::u16string text_;
};

struct Conversion {
    bool left = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    bool narrow = false;
};

template <class Out>
void PutPadded(Out& out, const Conversion& spec, std::u16string_view body, bool numeric) {
    std::size_t pad = spec.width > 0 && static_cast<std::size_t>(spec.width) > body.size()
                          ? static_cast<std::size_t>(spec.width) - body.size()
                          : 0;
    if (spec.left) {
        for (char16_t c : body) out.Put(c);
        while (pad--) out.Put(u' ');
        return;
    }
    if (spec.zero && numeric) {
        // Zeros go after a sign.
        std::size_t start = 0;
        if (!body.empty() && body[0] == u'-') {
            out.Put(u'-');
            start = 1;
        }
        while (pad--) out.Put(u'0');
        for (std::size_t i = start; i < body.size(); ++i) out.Put(body[i]);
        return;
    }
    while (pad--) out.Put(u' ');
    for (char16_t c : body) out.Put(c);
}

std::u16string Digits(std::uint64_t value, unsigned base, bool upper, int precision) {
    const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    char16_t reversed[64];
    std::size_t n = 0;
    for (; value; value /= base) reversed[n++] = digits[value % base];
    std::size_t width = precision < 0 ? (n ? n : 1) : (static_cast<std::size_t>(precision) > n ? precision : n);
    std::u16string text(width - n, u'0');
    while (n) text.push_back(reversed[--n]);
    return text;
}

template <class Out>
void FormatInto(Out& out, std::u16string_view format, std::span<const FormatArg> args) {
    std::size_t next_arg = 0;
    auto take = [&]() -> const FormatArg* { return next_arg < args.size() ? &args[next_arg++] : nullptr; };
    const std::u16string_view kMismatch = u"(?)";

    for (std::size_t i = 0; i < format.size(); ++i) {
        char16_t c = format[i];
        if (c != u'%') {
            out.Put(c);
            continue;
        }
        if (++i >= format.size()) break;
        if (format[i] == u'%') {
            out.Put(u'%');
            continue;
        }
        Conversion spec;
        for (; i < format.size(); ++i) {
            if (format[i] == u'-')
                spec.left = true;
            else if (format[i] == u'0')
                spec.zero = true;
            else if (format[i] == u'+' || format[i] == u' ' || format[i] == u'#')
                continue;
            else
                break;
        }
        if (i < format.size() && format[i] == u'*') {
            const FormatArg* a = take();
            long long w = a && a->IsInteger() ? a->AsSigned() : 0;
            if (w < 0) {
                spec.left = true;
                w = -w;
            }
            spec.width = static_cast<int>(w > 4096 ? 4096 : w);
            ++i;
        } else {
            for (; i < format.size() && format[i] >= u'0' && format[i] <= u'9'; ++i)
                spec.width = spec.width < 4096 ? spec.width * 10 + (format[i] - u'0') : 4096;
        }
        if (i < format.size() && format[i] == u'.') {
            ++i;
            spec.precision = 0;
            if (i < format.size() && format[i] == u'*') {
                const FormatArg* a = take();
                long long p = a && a->IsInteger() ? a->AsSigned() : 0;
                spec.precision = static_cast<int>(p < 0 ? -1 : (p > 4096 ? 4096 : p));
                ++i;
            } else {
                for (; i < format.size() && format[i] >= u'0' && format[i] <= u'9'; ++i)
                    spec.precision = spec.precision < 4096 ? spec.precision * 10 + (format[i] - u'0') : 4096;
            }
        }
        for (; i < format.size(); ++i) {
            if (format[i] == u'h')
                spec.narrow = true;
            else if (format[i] == u'l' || format[i] == u'w')
                spec.narrow = false;
            else
                break;
        }
        if (i >= format.size()) break;
        char16_t conv = format[i];
        const FormatArg* arg = take();
        switch (conv) {
            case u'd':
            case u'i':
            case u'u':
            case u'x':
            case u'X': {
                if (!arg || !arg->IsInteger()) {
                    PutPadded(out, spec, kMismatch, false);
                    break;
                }
                std::u16string body;
                if (conv == u'd' || conv == u'i') {
                    // An unsigned 32-bit value under %d reads as the signed value of its bits,
                    // as the formats were written for 32-bit integers.
                    std::int64_t v = arg->AsSigned();
                    if (arg->kind() != FormatArg::Kind::Signed && arg->AsUnsigned() <= 0xFFFFFFFFu)
                        v = static_cast<std::int32_t>(static_cast<std::uint32_t>(arg->AsUnsigned()));
                    std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
                    body = Digits(magnitude, 10, false, spec.precision);
                    if (v < 0) body.insert(body.begin(), u'-');
                } else {
                    // A negative int under %u or %x shows its 32 bits.
                    std::uint64_t v = arg->AsUnsigned();
                    if (arg->kind() == FormatArg::Kind::Signed && arg->AsSigned() < 0 && arg->AsSigned() >= INT32_MIN)
                        v &= 0xFFFFFFFFu;
                    body = Digits(v, conv == u'u' ? 10 : 16, conv == u'X', spec.precision);
                }
                if (spec.precision >= 0) spec.zero = false;
                PutPadded(out, spec, body, true);
                break;
            }
            case u'p': {
                if (!arg || !arg->IsInteger()) {
                    PutPadded(out, spec, kMismatch, false);
                    break;
                }
                PutPadded(out, spec, Digits(arg->AsUnsigned(), 16, true, 2 * static_cast<int>(sizeof(void*))), true);
                break;
            }
            case u'c': {
                if (!arg || !arg->IsInteger()) {
                    PutPadded(out, spec, kMismatch, false);
                    break;
                }
                std::u16string body;
                if (spec.narrow)
                    body = Cp932ToUtf16(std::string(1, static_cast<char>(arg->AsUnsigned())));
                else
                    body.push_back(static_cast<char16_t>(arg->AsUnsigned()));
                PutPadded(out, spec, body, false);
                break;
            }
            case u's': {
                std::u16string converted;
                std::u16string_view body;
                if (arg && arg->kind() == FormatArg::Kind::Wide) {
                    body = arg->wide();
                } else if (arg && arg->kind() == FormatArg::Kind::Narrow) {
                    converted = Cp932ToUtf16(arg->narrow());
                    body = converted;
                } else {
                    body = kMismatch;
                }
                if (spec.precision >= 0 && body.size() > static_cast<std::size_t>(spec.precision))
                    body = body.substr(0, spec.precision);
                PutPadded(out, spec, body, false);
                break;
            }
            default:
                // Unknown conversion: shown as written, its argument left unused.
                if (arg) --next_arg;
                out.Put(u'%');
                out.Put(conv);
                break;
        }
    }
}

}  // namespace

std::size_t FormatBuffer(char16_t* dst, std::size_t capacity, std::u16string_view format,
                         std::span<const FormatArg> args) {
    if (capacity == 0 || dst == nullptr) return 0;
    BoundedOutput out(dst, capacity);
    FormatInto(out, format, args);
    dst[out.used()] = 0;
    return out.used();
}

std::u16string FormatToString(std::u16string_view format, std::span<const FormatArg> args) {
    StringOutput out;
    FormatInto(out, format, args);
    return std::move(out.text());
}
