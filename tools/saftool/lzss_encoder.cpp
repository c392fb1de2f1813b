// A greedy LZSS encoder with hash chains, for the decoder's 4096-byte ring.
#include <array>

#include "archive/compressed_file.h"
#include "saf_writer.h"

namespace {

constexpr std::size_t kHashSize = 1 << 14;
constexpr std::size_t kMaxChain = 256;
// A reference may reach back almost a whole ring: the byte it copies is still there.
constexpr std::size_t kMaxDistance = lzss::kRingSize - 1;

std::size_t Hash3(const std::uint8_t* p) { return ((p[0] << 8 ^ p[1] << 4 ^ p[2]) * 2654435761u >> 8) % kHashSize; }

}  // namespace

std::vector<std::uint8_t> EncodeLzss(std::span<const std::uint8_t> input) {
    const std::size_t n = input.size();
    std::vector<std::uint8_t> out;
    out.reserve(n + n / 8 + 1);
    std::vector<std::int64_t> head(kHashSize, -1);
    std::vector<std::int64_t> previous(lzss::kRingSize, -1);
    auto insert = [&](std::size_t pos) {
        if (pos + lzss::kMinMatch > n) return;
        std::size_t h = Hash3(&input[pos]);
        previous[pos % lzss::kRingSize] = head[h];
        head[h] = static_cast<std::int64_t>(pos);
    };

    std::size_t flag_at = 0;
    unsigned bit = 8;
    for (std::size_t i = 0; i < n;) {
        if (bit == 8) {
            flag_at = out.size();
            out.push_back(0);
            bit = 0;
        }
        std::size_t best_length = 0;
        std::size_t best_from = 0;
        const std::size_t limit = std::min(lzss::kMaxMatch, n - i);
        if (limit >= lzss::kMinMatch) {
            std::int64_t candidate = head[Hash3(&input[i])];
            for (std::size_t steps = 0; candidate >= 0 && steps < kMaxChain; ++steps) {
                const auto from = static_cast<std::size_t>(candidate);
                if (i - from > kMaxDistance) break;
                std::size_t length = 0;
                while (length < limit && input[from + length] == input[i + length]) ++length;
                if (length > best_length) {
                    best_length = length;
                    best_from = from;
                    if (length == limit) break;
                }
                candidate = previous[from % lzss::kRingSize];
            }
        }
        if (best_length >= lzss::kMinMatch) {
            const std::size_t ring_position = (lzss::kRingStart + best_from) % lzss::kRingSize;
            out.push_back(static_cast<std::uint8_t>(ring_position & 0xFF));
            out.push_back(static_cast<std::uint8_t>((ring_position >> 4 & 0xF0) | (best_length - lzss::kMinMatch)));
            for (std::size_t k = 0; k < best_length; ++k) insert(i + k);
            i += best_length;
        } else {
            out[flag_at] |= static_cast<std::uint8_t>(1u << bit);
            out.push_back(input[i]);
            insert(i);
            ++i;
        }
        ++bit;
    }
    return out;
}
