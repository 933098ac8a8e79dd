// The kernels for every x86-64 CPU: SSE2, which the architecture always has.
#include <emmintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "kernels.hpp"
#include "number.hpp"
#include "scale.hpp"
#include "space.hpp"

namespace mean {
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

// Bit i set when p[i] is a decimal digit, for i from 0 to 31.
std::uint32_t digit_mask(const char* p) noexcept {
    const auto half = [](const char* at) {
        const __m128i t =
            _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi8('0'));
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t)));
    };
    return half(p) | half(p + 16) << 16;
}

#include "positions.inc"
#include "scan_swar.inc"

// The pass itself, on the scanner above.
#include "pass_kernel.inc"

}  // namespace

const kernel_set baseline_kernels = {"baseline", space_mask, count_newlines, sum_numbers,
                                     read_number};

}  // namespace mean
