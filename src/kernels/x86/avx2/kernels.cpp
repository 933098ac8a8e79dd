// The kernels for CPUs with AVX2 (and BMI, BMI2 and POPCNT, which every such CPU has): 32
// bytes to a vector. Chosen at run time; nothing here runs on a CPU without them.
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

struct ops : counted_positions {
    // Batches of 256 numbers: in memory, short numbers read 3 to 6% faster than in batches of
    // 64, and no shape slower beyond the noise (the mixed file 0.99 and 1.01 of the speed in
    // two runs).
    static constexpr int batch_size = 256;
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
