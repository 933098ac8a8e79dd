// The kernels for CPUs with AVX-512 F, BW, DQ, VL, VBMI and VBMI2 (and AVX2, BMI, BMI2, LZCNT
// and POPCNT): 64 bytes to a vector, comparisons straight into bit masks, bytes masked and
// compressed by them. Chosen at run time; nothing here runs on a CPU without them. This file
// holds the set's primitives; lanes.h, group_reader.h, divide_exactly.h, pairs_scanner.h,
// scale_eight.h and scientific_reader.h its readers and converters of several numbers at once.
// Its scanners of one number at a time are the AVX2 set's, x86/plain_scan.h.
#include <immintrin.h>

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

#include "kernels/x86/avx512/begin.h"

namespace mean::avx512 {
namespace {

#include "kernels/x86/digit_groups.h"

// Bit i set when p[i] is white space, for i from 0 to 63.
[[gnu::always_inline]] inline std::uint64_t space_mask(const char* p) noexcept {
    const __m512i x = _mm512_loadu_si512(p);
    // Tab to carriage return are 9 to 13: x - 9 is at most 4 as an unsigned byte.
    return _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8(9)), _mm512_set1_epi8(4)) |
           _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(' '));
}

std::uint64_t count_newlines(const char* data, std::size_t size) noexcept {
    std::uint64_t count = 0;
    const __m512i newline = _mm512_set1_epi8('\n');
    for (; size >= 128; size -= 128, data += 128) {
        count += static_cast<std::uint64_t>(
            std::popcount(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data), newline)) +
            std::popcount(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + 64), newline)));
    }
    for (; size != 0; --size, ++data)
        count += *data == '\n';
    return count;
}

// Writes chunk + i for each bit i set in `bits` to out, in order, and returns how many: the
// set bits' places are compressed out of a vector of 0 to 63, then widened to 64 bits and
// added to `chunk` sixteen at a time, sixteen whether or not there are so many; `out` has room
// for 64 more than are set.
[[gnu::always_inline]] inline int append_positions(const char** out, const char* chunk,
                                                   std::uint64_t bits) noexcept {
    const __m512i places = _mm512_set_epi8(
        63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41,
        40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
        17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i set = _mm512_maskz_compress_epi8(bits, places);
    const __m512i base = _mm512_set1_epi64(reinterpret_cast<long long>(chunk));
    // (The masked forms: GCC 12's plain ones read an undefined vector and warn of it.)
    const auto write = [&](int i, __m128i places16) {
        _mm512_storeu_si512(out + i,
                            _mm512_add_epi64(_mm512_maskz_cvtepu8_epi64(0xFF, places16), base));
        _mm512_storeu_si512(
            out + i + 8,
            _mm512_add_epi64(_mm512_maskz_cvtepu8_epi64(0xFF, _mm_srli_si128(places16, 8)), base));
    };
    const int count = std::popcount(bits);
    write(0, _mm512_maskz_extracti32x4_epi32(0xF, set, 0));
    if (count > 16) {
        write(16, _mm512_maskz_extracti32x4_epi32(0xF, set, 1));
        if (count > 32) {
            write(32, _mm512_maskz_extracti32x4_epi32(0xF, set, 2));
            write(48, _mm512_maskz_extracti32x4_epi32(0xF, set, 3));
        }
    }
    return count;
}

#include "kernels/x86/plain_scan.h"

#include "kernels/generic/exponent_tail.h"
#include "kernels/generic/positions.h"
#include "kernels/x86/scan_masks.h"

#define MEAN_LANE_BITS_BY_PEXT
#include "kernels/x86/lanes.h"

#include "kernels/x86/group_shape.h"

#include "kernels/x86/exponent_tails.h"

#include "kernels/x86/avx512/group_reader.h"

#include "kernels/x86/avx512/divide_exactly.h"

#include "kernels/x86/plain_lanes.h"

#include "kernels/x86/avx512/plain_reader.h"

#include "kernels/x86/avx512/pairs_scanner.h"

#include "kernels/x86/avx512/scale_eight.h"

#include "kernels/x86/avx512/scientific_reader.h"

struct ops : counted_positions {
    // Batches of 256 numbers: in memory, the mixed benchmark file read 12% faster than in
    // batches of 64, integers 8%, shortest round-trip output 7%, and no shape slower (512 read
    // %.6e 4% slower).
    static constexpr int batch_size = 256;
    static constexpr bool vex = true;
    static constexpr bool lists_by_compressing = true;
    [[gnu::always_inline]] static std::uint64_t space_mask(const char* p) noexcept {
        return avx512::space_mask(p);
    }
    [[gnu::always_inline]] static int append_positions(const char** out, const char* chunk,
                                                       std::uint64_t bits) noexcept {
        return avx512::append_positions(out, chunk, bits);
    }
    [[gnu::always_inline]] static byte_classes classify(const char* q) noexcept {
        return avx512::classify(q);
    }
    [[gnu::always_inline]] static joined mantissa_value(const char* end, int point_lane, int count,
                                                        std::uint64_t& value) noexcept {
        return avx512::mantissa_value(end, point_lane, count, value);
    }
    static constexpr bool scientific = true;
    [[gnu::always_inline]] static std::uint32_t digit_mask(const char* p) noexcept {
        return avx512::digit_mask(p);
    }
    [[gnu::always_inline]] static unsigned read_eight_scientific(const char* const* at,
                                                                 const char* const* ends,
                                                                 double* values) noexcept {
        return avx512::read_eight_scientific(at, ends, values);
    }
    [[gnu::always_inline]] static scanned scan_full(const char* q, decimal& number) noexcept {
        return scan_masks<ops>(q, number);
    }
    [[gnu::always_inline]] static scanned scan_plain(const char* q, const char* end,
                                                     decimal& number) noexcept {
        return avx512::scan_plain(q, end, number);
    }
    template <bool exponents>
    [[gnu::always_inline]] static unsigned read_eight(const char* const* at,
                                                      const char* const* ends,
                                                      double* values) noexcept {
        return avx512::read_eight<exponents>(at, ends, values);
    }
    [[gnu::always_inline]] static unsigned read_eight_tails(const char* const* at,
                                                            const char* const* ends,
                                                            double* values) noexcept {
        return avx512::read_eight<false, true>(at, ends, values);
    }
    [[gnu::always_inline]] static unsigned convert_eight(const int* list, const decimal* numbers,
                                                         scanned* shapes, double* values) noexcept {
        return avx512::convert_eight(list, numbers, shapes, values);
    }
    // A batch's short numbers listed apart for the groups, eight at a time: each list
    // compressed out of a vector of eight by the mask of the short ones (or of the long ones),
    // and their values put back by the mask's expansion. In memory, the mixed benchmark file
    // read 5 to 8% faster so, a file of %.17g and %.6f in turn about 20%.
    [[gnu::always_inline]] static int split_short(const char* const* at, const char* const* ends,
                                                  int count, const char** short_at,
                                                  const char** short_ends, int* short_index,
                                                  int* long_index, std::uint8_t* masks) noexcept {
        int shorts = 0;
        int longs = 0;
        for (int k = 0; k < count; k += 8) {
            const auto valid =
                static_cast<__mmask8>(count - k >= 8 ? 0xFF : (1u << (count - k)) - 1);
            const __m512i first = _mm512_maskz_loadu_epi64(valid, at + k);
            const __m512i last = _mm512_maskz_loadu_epi64(valid, ends + k);
            const __mmask8 is_short = _mm512_mask_cmple_epi64_mask(
                valid, _mm512_sub_epi64(last, first), _mm512_set1_epi64(16));
            const auto is_long = static_cast<__mmask8>(valid & ~is_short);
            const __m256i index =
                _mm256_add_epi32(_mm256_set1_epi32(k), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
            _mm512_storeu_si512(short_at + shorts, _mm512_maskz_compress_epi64(is_short, first));
            _mm512_storeu_si512(short_ends + shorts, _mm512_maskz_compress_epi64(is_short, last));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(short_index + shorts),
                                _mm256_maskz_compress_epi32(is_short, index));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(long_index + longs),
                                _mm256_maskz_compress_epi32(is_long, index));
            masks[k / 8] = is_short;
            shorts += std::popcount(static_cast<unsigned>(is_short));
            longs += std::popcount(static_cast<unsigned>(is_long));
        }
        return shorts;
    }
    [[gnu::always_inline]] static void place_short(double* values, const double* short_values,
                                                   const std::uint8_t* masks, int count) noexcept {
        int shorts = 0;
        for (int k = 0; k < count; k += 8) {
            const auto is_short = static_cast<__mmask8>(masks[k / 8]);
            _mm512_mask_storeu_pd(
                values + k, is_short,
                _mm512_maskz_expand_pd(is_short, _mm512_loadu_pd(short_values + shorts)));
            shorts += std::popcount(static_cast<unsigned>(is_short));
        }
    }
    template <bool tails>
    [[gnu::always_inline]] static bool read_eight_plain(const char* const* at,
                                                        const char* const* ends, double* values,
                                                        int& with_exponents) noexcept {
        return avx512::read_eight_plain<tails>(at, ends, values, with_exponents);
    }
    template <int pairs, bool tails>
    [[gnu::always_inline]] static int scan_plain_pairs(const int* index, const char* const* at,
                                                       const char* const* ends, decimal* numbers,
                                                       scanned* shapes, double* values,
                                                       int& with_exponents) noexcept {
        return avx512::scan_plain_pairs<pairs, tails>(index, at, ends, numbers, shapes, values,
                                                      with_exponents);
    }
};

#include "kernels/generic/pass.h"

}  // namespace
}  // namespace mean::avx512

#include "kernels/x86/avx512/end.h"

namespace mean {

const kernel_set avx512_kernels =
    avx512::kernel_set_of<avx512::ops>("avx512", "AVX-512", avx512::count_newlines);

}  // namespace mean
