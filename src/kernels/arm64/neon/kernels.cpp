// The kernels for arm64 CPUs: NEON (Advanced SIMD), which every one has, 16 bytes to a vector.
#include <arm_neon.h>

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>

#include "kernels/generic/plain_shape.h"
#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/scale.hpp"
#include "number/space.hpp"
#include "number/swar.hpp"

namespace mean::neon {
namespace {

[[gnu::always_inline]] inline uint8x16_t load(const char* p) noexcept {
    return vld1q_u8(reinterpret_cast<const std::uint8_t*>(p));
}

// NEON has no byte movemask. Each lane of a comparison, all ones or all zeros, keeps its own
// bit of a byte, and pairwise additions gather eight lanes' bits into one byte (simdjson's
// bitmask on arm64): 64 lanes into 64 bits, or 32 into 32.
[[gnu::always_inline]] inline uint8x16_t lane_bits(uint8x16_t lanes) noexcept {
    const uint8x16_t bit = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    return vandq_u8(lanes, bit);
}
[[gnu::always_inline]] inline std::uint64_t bits64(uint8x16_t a, uint8x16_t b, uint8x16_t c,
                                                   uint8x16_t d) noexcept {
    const uint8x16_t ab = vpaddq_u8(lane_bits(a), lane_bits(b));
    const uint8x16_t cd = vpaddq_u8(lane_bits(c), lane_bits(d));
    const uint8x16_t quads = vpaddq_u8(ab, cd);
    return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(quads, quads)), 0);
}
[[gnu::always_inline]] inline std::uint32_t bits32(uint8x16_t a, uint8x16_t b) noexcept {
    const uint8x16_t pairs = vpaddq_u8(lane_bits(a), lane_bits(b));
    const uint8x16_t quads = vpaddq_u8(pairs, pairs);
    return vgetq_lane_u32(vreinterpretq_u32_u8(vpaddq_u8(quads, quads)), 0);
}

[[gnu::always_inline]] inline uint8x16_t spaces(uint8x16_t x) noexcept {
    // Tab to carriage return are 9 to 13: x - 9 is at most 4 as an unsigned byte.
    return vorrq_u8(vceqq_u8(x, vdupq_n_u8(' ')),
                    vcleq_u8(vsubq_u8(x, vdupq_n_u8('\t')), vdupq_n_u8('\r' - '\t')));
}
[[gnu::always_inline]] inline uint8x16_t digits(uint8x16_t x) noexcept {
    return vcleq_u8(vsubq_u8(x, vdupq_n_u8('0')), vdupq_n_u8(9));
}

// Bit i set when p[i] is white space, for i from 0 to 63.
std::uint64_t space_mask(const char* p) noexcept {
    return bits64(spaces(load(p)), spaces(load(p + 16)), spaces(load(p + 32)),
                  spaces(load(p + 48)));
}

std::uint64_t count_newlines(const char* data, std::size_t size) noexcept {
    std::uint64_t count = 0;
    const uint8x16_t newline = vdupq_n_u8('\n');
    // Each byte lane gains at most 4 per round of 64 bytes, so 63 rounds fit in a byte.
    while (size >= 64) {
        std::size_t rounds = size / 64 < 63 ? size / 64 : 63;
        size -= rounds * 64;
        uint8x16_t lanes = vdupq_n_u8(0);
        for (; rounds != 0; --rounds, data += 64) {
            lanes = vsubq_u8(lanes, vceqq_u8(load(data), newline));
            lanes = vsubq_u8(lanes, vceqq_u8(load(data + 16), newline));
            lanes = vsubq_u8(lanes, vceqq_u8(load(data + 32), newline));
            lanes = vsubq_u8(lanes, vceqq_u8(load(data + 48), newline));
        }
        count += vaddlvq_u8(lanes);
    }
    for (; size != 0; --size, ++data)
        count += *data == '\n';
    return count;
}

// The value of the `count` digits that end at `end`, the point in `point_lane`, as
// plain_shape_of gives it: the lanes above the point are taken from 32 bytes before the end,
// the others from one byte further on, which squeezes the point out; the lanes of digits are
// kept, and summed eight at a time in general registers.
[[gnu::always_inline]] inline joined mantissa_value(const char* end, int point_lane, int count,
                                                    std::uint64_t& value) noexcept {
    const int8x16_t point = vdupq_n_s8(static_cast<std::int8_t>(point_lane));
    const int8x16_t last_other = vdupq_n_s8(static_cast<std::int8_t>(31 - count));
    const auto digit_values = [&](const char* right, int8x16_t lanes) {
        const uint8x16_t joined = vbslq_u8(vcgtq_s8(lanes, point), load(right), load(right - 1));
        return vandq_u8(vsubq_u8(joined, vdupq_n_u8('0')), vcgtq_s8(lanes, last_other));
    };
    const int8x16_t low_lanes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const int8x16_t high_lanes = vaddq_s8(low_lanes, vdupq_n_s8(16));
    std::uint8_t lanes[32];
    vst1q_u8(lanes, digit_values(end - 32, low_lanes));
    vst1q_u8(lanes + 16, digit_values(end - 16, high_lanes));
    const auto group = [&](int first) {
        return digit_word_value(load_le64(reinterpret_cast<const char*>(lanes + first)));
    };
    return join_groups(group(8) << 32, group(16) | group(24) << 32, count, value);
}

// Scans the plainest and commonest shape of a decimal, the text [q, end) that white space
// follows, into `number`, from bit masks of the 32 bytes before its end, as the x86 sets do.
[[gnu::always_inline]] inline scanned scan_plain(const char* q, const char* end,
                                                 decimal& number) noexcept {
    const uint8x16_t low = load(end - 32);
    const uint8x16_t high = load(end - 16);
    const plain_shape shape = plain_shape_of(
        static_cast<std::uint64_t>(end - q), bits32(digits(low), digits(high)),
        bits32(vceqq_u8(low, vdupq_n_u8('.')), vceqq_u8(high, vdupq_n_u8('.'))), q[0] == '-');
    if (!shape.ok) return scanned::none;
    std::uint64_t value;
    const joined kept = mantissa_value(end, shape.point_lane, shape.count, value);
    return decimal_of(shape, value, kept, number);
}

#include "kernels/generic/exponent_tail.h"
#include "kernels/generic/positions.h"
#include "kernels/generic/scan_runs.h"

struct ops : counted_positions {
    [[gnu::always_inline]] static std::uint64_t space_mask(const char* p) noexcept {
        return neon::space_mask(p);
    }
    [[gnu::always_inline]] static std::uint32_t digit_mask(const char* p) noexcept {
        return bits32(digits(load(p)), digits(load(p + 16)));
    }
    [[gnu::always_inline]] static scanned scan_full(const char* q, decimal& number) noexcept {
        return scan_runs<ops>(q, number);
    }
    [[gnu::always_inline]] static scanned scan_plain(const char* q, const char* end,
                                                     decimal& number) noexcept {
        return neon::scan_plain(q, end, number);
    }
};

#include "kernels/generic/pass.h"

}  // namespace
}  // namespace mean::neon

namespace mean {

const kernel_set neon_kernels =
    neon::kernel_set_of<neon::ops>("neon", "NEON", neon::count_newlines);

}  // namespace mean
