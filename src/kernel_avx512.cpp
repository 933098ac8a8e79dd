// The kernels for CPUs with AVX-512 F, BW and VL (and AVX2, BMI, BMI2 and POPCNT): 64 bytes
// to a vector, and comparisons straight into bit masks. Chosen at run time; nothing here runs
// on a CPU without them.
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
#pragma clang attribute push(                                                  \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx2,bmi,bmi2,popcnt"))), \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx2,bmi,bmi2,popcnt")
#endif

namespace mean {
namespace {

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

// Bit i set when p[i] is a decimal digit, for i from 0 to 31.
[[gnu::always_inline]] inline std::uint32_t digit_mask(const char* p) noexcept {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return _mm256_cmple_epu8_mask(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), _mm256_set1_epi8(9));
}

#include "pass_kernel.inc"

}  // namespace

const kernel_set avx512_kernels = {"avx512", space_mask, count_newlines, sum_numbers, read_number};

}  // namespace mean

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
