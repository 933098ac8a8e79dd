// The kernels for every x86-64 CPU: SSE2, which the architecture always has, and the bit
// operations of general registers.
#include <emmintrin.h>

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <limits>

#include "kernels/generic/plain_shape.h"
#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/scale.hpp"
#include "number/space.hpp"
#include "number/swar.hpp"
#include "number/x87_rounding.hpp"

namespace mean::sse2 {
namespace {

// Bit i set when p[i] is white space, for i from 0 to 63.
std::uint64_t space_mask(const char* p) noexcept {
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        // Tab to carriage return are 9 to 13: x - 9 is at most 4 as an unsigned byte.
        const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8(9));
        const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(4)), t);
        const __m128i blanks = _mm_cmpeq_epi8(x, _mm_set1_epi8(' '));
        const auto bits =
            static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_or_si128(controls, blanks)));
        mask |= std::uint64_t{bits} << (16 * i);
    }
    return mask;
}

std::uint64_t count_newlines(const char* data, std::size_t size) noexcept {
    std::uint64_t count = 0;
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    // Each byte lane gains at most 4 per round of 64 bytes, so 63 rounds fit in a byte.
    while (size >= 64) {
        std::size_t rounds = size / 64 < 63 ? size / 64 : 63;
        size -= rounds * 64;
        __m128i lanes = zero;
        for (; rounds != 0; --rounds, data += 64) {
            const auto* v = reinterpret_cast<const __m128i*>(data);
            const __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(v), newline);
            const __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(v + 1), newline);
            const __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(v + 2), newline);
            const __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(v + 3), newline);
            lanes = _mm_sub_epi8(lanes, _mm_add_epi8(_mm_add_epi8(a, b), _mm_add_epi8(c, d)));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_extract_epi16(sums, 4));
    }
    for (; size != 0; --size, ++data)
        count += *data == '\n';
    return count;
}

// The number of bits set, without POPCNT, which the baseline lacks: sums of bits in pairs, in
// fours, in bytes, then of the bytes by one multiplication.
[[gnu::always_inline]] inline int bit_count(std::uint64_t x) noexcept {
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<int>((x * 0x0101010101010101) >> 56);
}

#include "kernels/generic/exponent_tail.h"
#include "kernels/generic/positions.h"

// Bit i set when byte i of x is at most `limit`, or equal to `byte`, for i from 0 to 15; and
// when it is a digit, and the same for the 32 bytes at p.
std::uint32_t up_to(__m128i x, char limit) noexcept {
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(limit)), x)));
}
std::uint32_t equal(__m128i x, char byte) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(byte))));
}
std::uint32_t digit_bits(__m128i x) noexcept {
    return up_to(_mm_sub_epi8(x, _mm_set1_epi8('0')), 9);
}
std::uint32_t digit_mask(const char* p) noexcept {
    const auto half = [](const char* at) {
        return digit_bits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
    };
    return half(p) | half(p + 16) << 16;
}

// The value of the `count` digits that end at `end`, the point in `point_lane`, as
// plain_shape_of gives it, in two halves of 16 bytes: the lanes above the point are taken from 32
// bytes before the end, the others from one byte further on, which squeezes the point out.
// Without SSSE3's byte multiply-add, the digits are widened to 16 bits and summed in pairs
// with SSE2's, then in fours and eights.
[[gnu::always_inline]] inline joined mantissa_value(const char* end, int point_lane, int count,
                                                    std::uint64_t& value) noexcept {
    const auto load = [](const char* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    // The lanes of a half above the point, and those of the digits, as masks of last lanes.
    const auto lanes_from = [&](int n) {
        return load(reinterpret_cast<const char*>(last_lanes) + n);
    };
    const auto digit_values = [&](const char* right, int half) {
        const __m128i from_right = lanes_from(31 - point_lane + half);
        const __m128i joined = _mm_or_si128(_mm_and_si128(from_right, load(right)),
                                            _mm_andnot_si128(from_right, load(right - 1)));
        return _mm_and_si128(_mm_sub_epi8(joined, _mm_set1_epi8('0')), lanes_from(count + half));
    };
    const __m128i high = digit_values(end - 16, 16);
    const __m128i zero = _mm_setzero_si128();
    const __m128i tens = _mm_set1_epi32(0x0001000A);
    const __m128i hundreds = _mm_set1_epi32(0x00010064);
    // Lanes 16 to 31: pairs, fours, eights.
    const __m128i high_pairs = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(high, zero), tens),
                                               _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), tens));
    const __m128i high_fours = _mm_madd_epi16(high_pairs, hundreds);
    const __m128i high_eights =
        _mm_madd_epi16(_mm_packs_epi32(high_fours, high_fours), _mm_set1_epi32(0x00012710));
    const auto back = static_cast<std::uint64_t>(_mm_cvtsi128_si64(high_eights));
    // Up to 16 digits are all in lanes 16 to 31 (a point among them leaves 15).
    if (count <= 16) return join_groups(0, back, count, value);
    // Lanes 12 to 15, the only ones of the low half that may hold digits: pairs, then four,
    // placed where join_groups looks for them.
    const __m128i low = digit_values(end - 32, 0);
    const __m128i low_pairs = _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), tens);
    const __m128i low_fours = _mm_madd_epi16(_mm_packs_epi32(low_pairs, low_pairs), hundreds);
    return join_groups(static_cast<std::uint64_t>(_mm_cvtsi128_si64(low_fours)), back, count,
                       value);
}

// Scans the plainest and commonest shape of a decimal, the text [q, end) that white space
// follows, into `number`: an optional '-', then 1 to 20 digits, with at most one point among
// them, the whole within 31 bytes. Returns scanned::plain, or scanned::exponent for 20 digits
// cut to 19 (see join_groups), or scanned::none for anything else, which scan_full then reads. As
// the AVX2 set's scanner, in two halves of 16 bytes. Reads up to 33 bytes before the end.
[[gnu::always_inline]] inline scanned scan_plain(const char* q, const char* end,
                                                 decimal& number) noexcept {
    // Both halves, whatever the length: a branch on it would go either way for numbers of
    // about 16 bytes, as %.15g writes them.
    const auto length = static_cast<std::uint64_t>(end - q);
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 32));
    const std::uint32_t digits = digit_bits(high) << 16 | digit_bits(low);
    const std::uint32_t points = equal(high, '.') << 16 | equal(low, '.');
    const plain_shape shape = plain_shape_of(length, digits, points, q[0] == '-');
    if (!shape.ok) return scanned::none;
    std::uint64_t value;
    const joined kept = mantissa_value(end, shape.point_lane, shape.count, value);
    return decimal_of(shape, value, kept, number);
}

// The second scanner: runs of digits walked in a digit bitmap and read eight at a time in
// general registers, which costs the baseline less than more bit masks would.
#include "kernels/generic/scan_runs.h"

#include "kernels/x86/lanes.h"

#include "kernels/x86/group_shape.h"

#include "kernels/x86/sse2/group_reader.h"

struct ops {
    // Batches of 256 numbers: in memory, every shape read 1 to 10% faster than in batches of
    // 64 (shortest round-trip output 10%, the mixed file 3 to 4%).
    static constexpr int batch_size = 256;
    // Plain numbers of more digits than a double holds, such as %.17g writes, converted by
    // one x87 division each rather than the exact scaling (x87_rounding.hpp): the mixed file
    // in 0.93 of the time. The wider sets convert them in vectors and gained nothing from it.
    // Only with glibc, whose strtod, called while the pass holds the rounding, rounds in
    // integers; another C library's may compute in the x87 at its full 64 bits.
#if defined(__GLIBC__)
    using rounding = x87_double_rounding;
#endif
    // Without SSSE3 the group reader reads plain numbers other than integers no faster than
    // scan_plain does: in the plain mode, groups only while it reads nearly all.
    static constexpr int plain_group_eighths = 7;
    [[gnu::always_inline]] static std::uint64_t space_mask(const char* p) noexcept {
        return sse2::space_mask(p);
    }
    [[gnu::always_inline]] static int bit_count(std::uint64_t bits) noexcept {
        return sse2::bit_count(bits);
    }
    [[gnu::always_inline]] static int append_positions(const char** out, const char* chunk,
                                                       std::uint64_t bits) noexcept {
        return write_positions<false>(out, chunk, bits, sse2::bit_count(bits));
    }
    [[gnu::always_inline]] static std::uint32_t digit_mask(const char* p) noexcept {
        return sse2::digit_mask(p);
    }
    static constexpr bool scientific = true;
    [[gnu::always_inline]] static joined mantissa_value(const char* end, int point_lane, int count,
                                                        std::uint64_t& value) noexcept {
        return sse2::mantissa_value(end, point_lane, count, value);
    }
    [[gnu::always_inline]] static unsigned eight_tails(const char* const* at,
                                                       const char* const* ends,
                                                       std::int32_t* exponents) noexcept {
        return sse2::four_tails(at, ends, exponents) |
               sse2::four_tails(at + 4, ends + 4, exponents + 4) << 4;
    }
    [[gnu::always_inline]] static scanned scan_full(const char* q, decimal& number) noexcept {
        return scan_runs<ops>(q, number);
    }
    [[gnu::always_inline]] static scanned scan_plain(const char* q, const char* end,
                                                     decimal& number) noexcept {
        return sse2::scan_plain(q, end, number);
    }
    template <bool exponents>
    [[gnu::always_inline]] static unsigned read_eight(const char* const* at,
                                                      const char* const* ends,
                                                      double* values) noexcept {
        return sse2::read_eight<exponents>(at, ends, values);
    }
    [[gnu::always_inline]] static unsigned read_eight_tails(const char* const* at,
                                                            const char* const* ends,
                                                            double* values) noexcept {
        return sse2::read_eight<false, true>(at, ends, values);
    }
};

#include "kernels/generic/pass.h"

}  // namespace
}  // namespace mean::sse2

namespace mean {

const kernel_set sse2_kernels =
    sse2::kernel_set_of<sse2::ops>("sse2", "baseline", sse2::count_newlines);

}  // namespace mean
