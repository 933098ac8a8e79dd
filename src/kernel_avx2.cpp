// The kernels for CPUs with AVX2 (and BMI, BMI2 and POPCNT, which every such CPU has): 32
// bytes to a vector. Chosen at run time; nothing here runs on a CPU without them.
#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "kernels.hpp"
#include "number.hpp"
#include "scale.hpp"
#include "space.hpp"

// Everything defined from here on is compiled for the wider target; the standard library and
// the tool's own headers, included above, are not.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,bmi2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2,popcnt")
#endif

namespace mean {
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

// Bit i set when p[i] is a decimal digit, for i from 0 to 31.
[[gnu::always_inline]] inline std::uint32_t digit_mask(const char* p) noexcept {
    const __m256i t = _mm256_sub_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                      _mm256_set1_epi8('0'));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(9)), t)));
}

#include "positions.inc"
#include "scan_swar.inc"

// The pass itself, on the scanner above.
#include "pass_kernel.inc"

}  // namespace

const kernel_set avx2_kernels = {"avx2", space_mask, count_newlines, sum_numbers, read_number};

}  // namespace mean

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
