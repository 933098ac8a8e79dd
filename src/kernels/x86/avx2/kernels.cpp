// The kernels for CPUs with AVX2 (and BMI, BMI2 and POPCNT, which every such CPU has): 32
// bytes to a vector. Chosen at run time; nothing here runs on a CPU without them.
#include <immintrin.h>

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
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

#include "kernels/x86/plain_scan.h"

#include "kernels/x86/scan_masks.h"

#include "kernels/x86/lanes.h"

#include "kernels/x86/group_shape.h"

#include "kernels/x86/exponent_tails.h"

#include "kernels/x86/avx2/group_reader.h"

#include "kernels/x86/avx2/scale_four.h"

#include "kernels/x86/avx2/scientific_reader.h"

#include "kernels/x86/avx2/divide_exactly.h"

#include "kernels/x86/plain_lanes.h"

#include "kernels/x86/avx2/plain_reader.h"

// For the listing of short numbers apart, four at a time: for each mask of four lanes, the
// 32-bit lanes that bring the chosen 64-bit lanes to the front in order (compress_quads) or
// take them from there back to their places (expand_quads), and the same for 32-bit lanes
// (compress_words).
struct lane_tables {
    alignas(32) std::int32_t compress_quads[16][8];
    alignas(32) std::int32_t expand_quads[16][8];
    alignas(32) std::int32_t compress_words[16][8];
};
inline constexpr lane_tables split_tables = [] {
    lane_tables t{};
    for (int mask = 0; mask < 16; ++mask) {
        int chosen = 0;
        for (int lane = 0; lane < 4; ++lane) {
            if ((mask >> lane & 1) == 0) continue;
            t.compress_quads[mask][2 * chosen] = 2 * lane;
            t.compress_quads[mask][2 * chosen + 1] = 2 * lane + 1;
            t.expand_quads[mask][2 * lane] = 2 * chosen;
            t.expand_quads[mask][2 * lane + 1] = 2 * chosen + 1;
            t.compress_words[mask][chosen] = lane;
            ++chosen;
        }
    }
    return t;
}();
inline constexpr const auto& compress_quads = split_tables.compress_quads;
inline constexpr const auto& expand_quads = split_tables.expand_quads;
inline constexpr const auto& compress_words = split_tables.compress_words;

struct ops : counted_positions {
    // Batches of 256 numbers: in memory, short numbers read 3 to 6% faster than in batches of
    // 64, and no shape slower beyond the noise (the mixed file 0.99 and 1.01 of the speed in
    // two runs).
    static constexpr int batch_size = 256;
    static constexpr bool vex = true;
    // A group of plain numbers that the group reader reads only in part costs more than
    // scan_plain's reading of each (the mixed benchmark file, a third of it 17 digits, and
    // shortest round-trip output were read about a tenth and a tenth to a fifth faster
    // without groups): in the plain mode, groups only while it reads nearly all. Where a
    // quarter of a batch is long, the short ones are listed apart (split_short), and half
    // short is enough.
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
    static constexpr bool scientific = true;
    [[gnu::always_inline]] static std::uint32_t digit_mask(const char* p) noexcept {
        return avx2::digit_mask(p);
    }
    [[gnu::always_inline]] static unsigned eight_tails(const char* const* at,
                                                       const char* const* ends,
                                                       std::int32_t* exponents) noexcept {
        return avx2::eight_tails(at, ends, exponents);
    }
    [[gnu::always_inline]] static unsigned read_eight_scientific(const char* const* at,
                                                                 const char* const* ends,
                                                                 double* values) noexcept {
        return avx2::read_eight_scientific(at, ends, values);
    }
    [[gnu::always_inline]] static scanned scan_full(const char* q, decimal& number) noexcept {
        return scan_masks<ops>(q, number);
    }
    [[gnu::always_inline]] static scanned scan_plain(const char* q, const char* end,
                                                     decimal& number) noexcept {
        return avx2::scan_plain(q, end, number);
    }
    // Plain numbers read one at a time are converted four at a time by one division each,
    // checked in integers (divide_exactly.h), in batches where a quarter are long (split);
    // elsewhere most are short, and one division, one at a time, costs less (converted so,
    // shortest round-trip output, a seventh of it long, took 1.11 to 1.14 times as long).
    static constexpr bool converts_where_long = true;
    [[gnu::always_inline]] static unsigned convert_eight(const int* list, const decimal* numbers,
                                                         scanned* shapes, double* values) noexcept {
        return avx2::convert_eight(list, numbers, shapes, values);
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
    // Longer plain numbers eight at a time, where a batch's short numbers are listed apart or
    // it has none (mixed benchmark file about 0.94 of the time, %.10f timestamps about 0.88);
    // not the mantissas before %g's exponents, which that did not speed (%.15g 1.015).
    template <bool tails>
    requires(!tails)
        [[gnu::always_inline]] static bool read_eight_plain(const char* const* at,
                                                            const char* const* ends, double* values,
                                                            int& with_exponents) noexcept {
        with_exponents = 0;
        return avx2::read_eight_plain(at, ends, values);
    }
    // The short numbers listed apart four at a time, by the tables above: on the mixed
    // benchmark file, whose groups were not worth reading while a third of each was long, the
    // short ones are read in groups so (whole runs took about 7% less time; listed one by one
    // in general registers, 3% more). The lists take four entries past their ends at most.
    [[gnu::always_inline]] static int split_short(const char* const* at, const char* const* ends,
                                                  int count, const char** short_at,
                                                  const char** short_ends, int* short_index,
                                                  int* long_index, std::uint8_t* masks) noexcept {
        int shorts = 0;
        int longs = 0;
        for (int k = 0; k < count; k += 8) {
            const unsigned valid = count - k >= 8 ? 0xFFu : (1u << (count - k)) - 1;
            unsigned mask = 0;
            for (int quarter = 0; quarter < 2; ++quarter) {
                const int first = k + 4 * quarter;
                const __m256i starts =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + first));
                const __m256i stops =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ends + first));
                const unsigned in = (valid >> 4 * quarter) & 0xF;
                const unsigned is_short =
                    in & ~static_cast<unsigned>(
                             _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpgt_epi64(
                                 _mm256_sub_epi64(stops, starts), _mm256_set1_epi64x(16)))));
                const unsigned is_long = in & ~is_short;
                const __m256i index = _mm256_add_epi32(_mm256_set1_epi32(first),
                                                       _mm256_setr_epi32(0, 1, 2, 3, 0, 0, 0, 0));
                const __m256i to_short =
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(compress_quads[is_short]));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(short_at + shorts),
                                    _mm256_permutevar8x32_epi32(starts, to_short));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(short_ends + shorts),
                                    _mm256_permutevar8x32_epi32(stops, to_short));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(short_index + shorts),
                                 _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
                                     index, _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                compress_words[is_short])))));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(long_index + longs),
                                 _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
                                     index, _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                compress_words[is_long])))));
                shorts += std::popcount(is_short);
                longs += std::popcount(is_long);
                mask |= is_short << 4 * quarter;
            }
            masks[k / 8] = static_cast<std::uint8_t>(mask);
        }
        return shorts;
    }
    // Writes all four lanes of each quarter, the long numbers' too: their values are written
    // after, when the pass reads them.
    [[gnu::always_inline]] static void place_short(double* values, const double* short_values,
                                                   const std::uint8_t* masks, int count) noexcept {
        int shorts = 0;
        for (int k = 0; k < count; k += 4) {
            const unsigned is_short = (masks[k / 8] >> (k % 8)) & 0xF;
            _mm256_storeu_si256(
                reinterpret_cast<__m256i*>(values + k),
                _mm256_permutevar8x32_epi32(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(short_values + shorts)),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(expand_quads[is_short]))));
            shorts += std::popcount(is_short);
        }
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
