// The kernels for CPUs with AVX2 (and BMI, BMI2 and POPCNT, which every such CPU has): 32
// bytes to a vector. Chosen at run time; nothing here runs on a CPU without them.
#include <immintrin.h>

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

#include "kernels/x86/avx2/begin.h"

namespace mean::avx2 {
namespace {

// Bit i set when p[i] is white space among the 32 bytes at p.
inline std::uint32_t space_mask32(const char* p) noexcept {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    // Tab to carriage return are 9 to 13: x - 9 is at most 4 as an unsigned byte.
    const __m256i t = _mm256_sub_epi8(x, _mm256_set1_epi8(9));
    const __m256i controls = _mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(4)), t);
    const __m256i blanks = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(' '));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(controls, blanks)));
}

[[gnu::always_inline]] inline std::uint64_t space_mask(const char* p) noexcept {
    return space_mask32(p) | std::uint64_t{space_mask32(p + 32)} << 32;
}

std::uint64_t count_newlines(const char* data, std::size_t size) noexcept {
    std::uint64_t count = 0;
    const __m256i newline = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    // Each byte lane gains at most 4 per round of 128 bytes, so 63 rounds fit in a byte.
    while (size >= 128) {
        std::size_t rounds = size / 128 < 63 ? size / 128 : 63;
        size -= rounds * 128;
        __m256i lanes = zero;
        for (; rounds != 0; --rounds, data += 128) {
            const auto* v = reinterpret_cast<const __m256i*>(data);
            const __m256i a = _mm256_cmpeq_epi8(_mm256_loadu_si256(v), newline);
            const __m256i b = _mm256_cmpeq_epi8(_mm256_loadu_si256(v + 1), newline);
            const __m256i c = _mm256_cmpeq_epi8(_mm256_loadu_si256(v + 2), newline);
            const __m256i d = _mm256_cmpeq_epi8(_mm256_loadu_si256(v + 3), newline);
            lanes = _mm256_sub_epi8(lanes,
                                    _mm256_add_epi8(_mm256_add_epi8(a, b), _mm256_add_epi8(c, d)));
        }
        const __m256i sums = _mm256_sad_epu8(lanes, zero);
        count += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
    }
    for (; size != 0; --size, ++data)
        count += *data == '\n';
    return count;
}

#include "kernels/generic/exponent_tail.h"
#include "kernels/generic/positions.h"
#include "kernels/x86/digit_groups.h"

// Movemask of a byte comparison: bit i for lane i.
[[gnu::always_inline]] inline std::uint32_t bits_of(__m256i bytes) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
}

// Lanes of v at most `limit`, as unsigned bytes.
[[gnu::always_inline]] inline __m256i up_to(__m256i v, char limit) noexcept {
    return _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(limit)), v);
}

// Bit masks of the 32 bytes at q, as scan_masks.h reads them.
[[gnu::always_inline]] inline byte_classes classify(const char* q) noexcept {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    return {bits_of(up_to(x, ' ')),
            bits_of(up_to(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), 9)),
            bits_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('.'))),
            bits_of(_mm256_cmpeq_epi8(_mm256_or_si256(x, _mm256_set1_epi8(0x20)),
                                      _mm256_set1_epi8('e'))),
            bits_of(_mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('+')),
                                    _mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')))),
            bits_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('0')))};
}

// The mask of the last n lanes of 32, 0 <= n <= 32.
[[gnu::always_inline]] inline __m256i lanes_from(int n) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(last_lanes + n));
}

// The value of the `count` digits that end at `end`, the point in `point_lane`, as
// scan_masks.h has it: the lanes above the point are taken from 32 bytes before the end, the
// others from one byte further on, which squeezes the point out; the lanes of digits are kept.
[[gnu::always_inline]] inline joined mantissa_value(const char* end, int point_lane, int count,
                                                    std::uint64_t& value) noexcept {
    const __m256i from_right = lanes_from(31 - point_lane);
    const __m256i kept = lanes_from(count);
    const __m256i joined = _mm256_blendv_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 33)),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 32)), from_right);
    std::uint64_t front;
    std::uint64_t back;
    eight_digit_groups(_mm256_and_si256(_mm256_sub_epi8(joined, _mm256_set1_epi8('0')), kept),
                       front, back);
    return join_groups(front, back, count, value);
}

// Scans the plainest and commonest shape of a decimal, the text [q, end) that white space
// follows, into `number`: an optional '-', then 1 to 20 digits, with at most one point among
// them, the whole within 31 bytes. Returns scanned::plain, or scanned::exponent for 20 digits
// cut to 19 (see join_groups), or scanned::none for anything else, which scan_full then reads. The
// 32 bytes before the end are classified into bit masks, bit j for lane j, so that the number's own
// bytes are the top `length` lanes. Reads up to 33 bytes before the end.
[[gnu::always_inline]] inline scanned scan_plain(const char* q, const char* end,
                                                 decimal& number) noexcept {
    const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 32));
    const plain_shape shape =
        plain_shape_of(static_cast<std::uint64_t>(end - q),
                       bits_of(up_to(_mm256_sub_epi8(right, _mm256_set1_epi8('0')), 9)),
                       bits_of(_mm256_cmpeq_epi8(right, _mm256_set1_epi8('.'))), q[0] == '-');
    if (!shape.ok) return scanned::none;
    std::uint64_t value;
    const joined kept = mantissa_value(end, shape.point_lane, shape.count, value);
    return decimal_of(shape, value, kept, number);
}

#include "kernels/x86/scan_masks.h"

#include "kernels/x86/lanes.h"

#include "kernels/x86/group_shape.h"

#include "kernels/x86/exponent_tails.h"

#include "kernels/x86/avx2/group_reader.h"

struct ops : counted_positions {
    static constexpr bool vex = true;
    // A group of plain numbers that the group reader reads only in part costs more than
    // scan_plain's reading of each (the mixed benchmark file, a third of it 17 digits, and
    // shortest round-trip output were read about a tenth and a tenth to a fifth faster
    // without groups): in the plain mode, groups only while it reads nearly all.
    static constexpr int plain_group_eighths = 7;
    [[gnu::always_inline]] static std::uint64_t space_mask(const char* p) noexcept {
        return avx2::space_mask(p);
    }
    [[gnu::always_inline]] static byte_classes classify(const char* q) noexcept {
        return avx2::classify(q);
    }
    [[gnu::always_inline]] static joined mantissa_value(const char* end, int point_lane, int count,
                                                        std::uint64_t& value) noexcept {
        return avx2::mantissa_value(end, point_lane, count, value);
    }
    [[gnu::always_inline]] static scanned scan_full(const char* q, decimal& number) noexcept {
        return scan_masks<ops>(q, number);
    }
    [[gnu::always_inline]] static scanned scan_plain(const char* q, const char* end,
                                                     decimal& number) noexcept {
        return avx2::scan_plain(q, end, number);
    }
    template <bool exponents>
    [[gnu::always_inline]] static unsigned read_eight(const char* const* at,
                                                      const char* const* ends,
                                                      double* values) noexcept {
        return avx2::read_eight<exponents>(at, ends, values);
    }
    [[gnu::always_inline]] static unsigned read_eight_tails(const char* const* at,
                                                            const char* const* ends,
                                                            double* values) noexcept {
        return avx2::read_eight<false, true>(at, ends, values);
    }
};

#include "kernels/generic/pass.h"

}  // namespace
}  // namespace mean::avx2

#include "kernels/x86/avx2/end.h"

namespace mean {

const kernel_set avx2_kernels =
    avx2::kernel_set_of<avx2::ops>("avx2", "AVX2", avx2::count_newlines);

}  // namespace mean
