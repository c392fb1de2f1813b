// An independent per-pixel model of the span operations, written from the formulas of the two
// paths (never from the engine's tables or kernels): plain weights M(x, w) = floor(x w / 255)
// and S(x, l) = floor(x l / 256); fast weights u(i) = 0 or i + 1 and
// Q(x, y, w) = floor((x u(w) + y (256 - u(w))) / 256).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace reference {

enum class Path { kPlain, kFast };

inline int M(int x, int w) { return x * w / 255; }
inline int S(int x, int l) { return x * l / 256; }
inline int P(int x, int y, int w) { return M(x, w) + M(y, 255 - w); }
inline int U(int i) { return i == 0 ? 0 : i + 1; }
inline int Q(int x, int y, int w) { return (x * U(w) + y * (256 - U(w))) / 256; }
inline int CeilDiv256(int v) { return (v + 255) / 256; }

struct Operation {
    Path path = Path::kPlain;
    std::uint32_t flags = 0;  // column, row and alpha mode
    int level = 256;          // already within the column's range
    std::uint32_t mask = 0xFFFFFFFF;
};

inline int Lighten(Path path, int s, int level) {
    const int k = level - 256;
    return path == Path::kPlain ? S(s, 512 - level) + S(255, k) : (s * (512 - level) + 255 * k) / 256;
}

inline int Colour(Path path, int column, bool blend, int s, int d, int sA, int dA, int level, int rule) {
    const bool plain = path == Path::kPlain;
    const int oS = 255 - sA, oD = 255 - dA;
    switch (column) {
        case 0:
            if (!blend) return s;
            return plain ? P(s, d, oS) : Q(d, s, sA);
        case 1:
        case 2:
            if (column == 1 || level > 256) {
                const int b = level <= 256 ? S(s, level) : Lighten(path, s, level);
                if (!blend) return b;
                return plain ? P(b, d, oS) : Q(d, b, sA);
            }
            if (!blend) return plain ? S(s, level) + S(d, 256 - level) : (s * level + d * (256 - level)) / 256;
            return plain ? P(s, d, S(oS, level)) : Q(s, d, S(oS, level));
        case 3:
            if (!blend) return std::min(255, d + S(s, level));
            return std::min(255, d + (plain ? M(S(s, level), oS) : s * U(S(oS, level)) / 256));
        case 4:
            if (!blend) return std::max(0, d - (plain ? S(s, level) : CeilDiv256(s * level)));
            return std::max(0, d - (plain ? M(S(s, level), oS) : CeilDiv256(s * U(S(oS, level)))));
        case 5: {
            const int t = std::clamp(rule + level - 256, 0, 255);
            if (!blend) return plain ? P(s, d, t) : Q(s, d, t);
            return plain ? P(s, d, M(t, oS)) : Q(s, d, t * U(oS) / 256);
        }
        case 10:
            if (!blend) return d ^ S(s, level);
            return d ^ (plain ? M(S(s, level), oS) : s * U(S(oS, level)) / 256);
        case 11: {
            int w;
            if (!blend)
                w = S(oD, level);
            else
                w = plain ? S(M(oS, oD), level) : S(oS, level) * (256 - U(dA)) / 256;
            return plain ? P(s, d, w) : Q(s, d, w);
        }
    }
    return -1;
}

inline int AlphaByRow(int row, int sA, int dA) {
    switch (row) {
        case 0: return sA;
        case 1: return std::max(0, sA + dA - 255);
        case 2: return 255 - std::max(0, sA - dA);
        default: return dA;
    }
}

// The pixel an operation leaves from source pixel src over destination pixel dst.
inline std::uint32_t Pixel(const Operation& op, std::uint32_t src, std::uint32_t dst, int rule) {
    const int column = static_cast<int>(op.flags & 15);
    const int row = static_cast<int>((op.flags >> 4) & 3);
    const std::uint32_t mode = (op.flags >> 16) & 0xFF;
    bool blend, masked;
    if (op.path == Path::kFast || column == 5) {
        blend = (op.flags & 0x10000) != 0;
        masked = true;
    } else {
        masked = mode == 0x05 || mode == 0x04;
        blend = mode == 0x05 || mode == 0x01;
    }
    const int sA = static_cast<int>(src >> 24), dA = static_cast<int>(dst >> 24);
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int s = static_cast<int>((src >> shift) & 255);
        if (masked) s &= static_cast<int>((op.mask >> shift) & 255);
        const int d = static_cast<int>((dst >> shift) & 255);
        out |= static_cast<std::uint32_t>(Colour(op.path, column, blend, s, d, sA, dA, op.level, rule)) << shift;
    }
    const int alpha = column == 11 ? dA : AlphaByRow(row, sA, dA);
    return out | static_cast<std::uint32_t>(alpha) << 24;
}

inline std::string Describe(const Operation& op) {
    return std::string(op.path == Path::kPlain ? "plain" : "fast") + " flags=0x" +
           [&] {
               char b[16];
               std::snprintf(b, sizeof b, "%x", op.flags);
               return std::string(b);
           }() +
           " level=" + std::to_string(op.level) + " mask=" + std::to_string(op.mask);
}

}  // namespace reference
