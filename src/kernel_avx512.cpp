// The kernels for CPUs with AVX-512 F, BW, DQ, VL, VBMI and VBMI2 (and AVX2, BMI, BMI2, LZCNT and
// POPCNT): 64
// bytes to a vector, comparisons straight into bit masks, bytes masked and compressed by them.
// Chosen at run time; nothing here runs on a CPU without them.
#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "kernels.hpp"
#include "number.hpp"
#include "plain_shape.hpp"
#include "scale.hpp"
#include "space.hpp"

// Everything defined from here on is compiled for the wider target; the standard library and
// the tool's own headers, included above, are not.
#if defined(__clang__)
#pragma clang attribute push(                                                                      \
    __attribute__((target(                                                                         \
        "avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,lzcnt,popcnt"))), \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target( \
    "avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,lzcnt,popcnt")
#endif

namespace mean {
namespace {

#include "digit_groups.inc"

[[gnu::always_inline]] inline int bit_count(std::uint64_t bits) noexcept {
    return std::popcount(bits);
}

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

// The value of the `count` digits that end at `end`, the point in `point_lane`, as
// scan_full.inc has it: the lanes above the point are taken from 32 bytes before the end, the
// others from one byte further on, which squeezes the point out.
[[gnu::always_inline]] inline bool mantissa_value(const char* end, int point_lane, int count,
                                                  std::uint64_t& value) noexcept {
    const __m256i values = _mm256_maskz_sub_epi8(
        static_cast<__mmask32>(~std::uint64_t{0} << ((32 - count) & 63)),
        _mm256_mask_blend_epi8(static_cast<__mmask32>(~std::uint64_t{0} << ((point_lane + 1) & 63)),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 33)),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 32))),
        _mm256_set1_epi8('0'));
    std::uint64_t front;
    std::uint64_t back;
    eight_digit_groups(values, front, back);
    return join_groups(front, back, count, value);
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

// Scans the plainest and commonest shape of a decimal, the text [q, end) that white space
// follows, into `number`: an optional '-', then 1 to 20 digits, with at most one point among
// them, whose value fits 64 bits, the whole within 31 bytes. Returns scanned::plain, or
// scanned::none for anything else, which scan_full then reads.
//
// The 32 bytes before the end are classified into bit masks, bit j for the byte 32 - j before
// the end, so that the number's own bytes are the top `length` bits: every one of them but a
// leading '-' is a digit but one, which is a point, and the fraction's length is the count of
// lanes above that point. Reads up to 33 bytes before the end.
[[gnu::always_inline]] inline scanned scan_plain(const char* q, const char* end,
                                                 plain_number& number) noexcept {
    const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 32));
    const plain_shape shape = plain_shape_of(
        static_cast<std::uint64_t>(end - q),
        _mm256_cmple_epu8_mask(_mm256_sub_epi8(right, _mm256_set1_epi8('0')), _mm256_set1_epi8(9)),
        _mm256_cmpeq_epi8_mask(right, _mm256_set1_epi8('.')), q[0] == '-');
    std::uint64_t value;
    const bool read = mantissa_value(end, shape.point_lane, shape.count, value);
    if (!(shape.ok & read)) return scanned::none;
    return plain_number_of(shape, value, number);
}

// Bit masks of the 32 bytes at q, as scan_full.inc reads them.
[[gnu::always_inline]] inline byte_classes classify(const char* q) noexcept {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    return {
        _mm256_cmple_epu8_mask(x, _mm256_set1_epi8(' ')),
        _mm256_cmple_epu8_mask(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), _mm256_set1_epi8(9)),
        _mm256_cmpeq_epi8_mask(x, _mm256_set1_epi8('.')),
        _mm256_cmpeq_epi8_mask(_mm256_or_si256(x, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('e')),
        _mm256_cmpeq_epi8_mask(x, _mm256_set1_epi8('+')) |
            _mm256_cmpeq_epi8_mask(x, _mm256_set1_epi8('-')),
        _mm256_cmpeq_epi8_mask(x, _mm256_set1_epi8('0'))};
}

#include "scan_full.inc"

// Short numbers are read four to a vector, one in each 128-bit lane, and eight at a time: the
// bytes of a number of up to 16 end in the last byte of its lane, so that its digits' places
// are the lanes' places, and every step below is taken for all of them at once. The shape read
// is scan_plain's (an optional '-', digits, at most one point), with a leading '+' too, in 16
// bytes; where the data has exponents, also an exponent of 1 to 3 digits with an optional
// sign, as %e writes them.
constexpr bool reads_groups = true;

// What four numbers' lanes hold after the reading.
struct four_numbers {
    __m512i digits;    // in each lane's low 64 bits: the digits as an integer, times 10 when
                       // there is a point
    __m512i exponent;  // in each lane's low 64 bits: the power of ten t, the number being
                       // digits × 10^t
    unsigned ok;       // bit i: the number in lane i has the shape
    unsigned negative;
    unsigned with_exponent;
    unsigned nan = 0;       // where the data has exponents: bit i, lane i holds nan, and
    unsigned infinity = 0;  // inf or infinity, in any case and with an optional sign
};

// 64-bit masks read as lanes of `width` bits: 16 for the bytes of four 128-bit lanes, 32 for
// those of two 256-bit halves. Bit 0 of each lane, and its last bit:
template <int width>
constexpr std::uint64_t first_bits = width == 16 ? 0x0001000100010001 : 0x0000000100000001;
template <int width>
constexpr std::uint64_t last_bits = first_bits<width> << (width - 1);

// The last bit of each lane set when any of the lane's bits is.
template <int width>
[[gnu::always_inline]] inline std::uint64_t lanes_with_any(std::uint64_t bits) noexcept {
    constexpr std::uint64_t last = last_bits<width>;
    return (((bits & ~last) + ~last) | bits) & last;
}

// Each lane's bits from its lowest set bit up: spread upwards, never across lanes.
template <int width>
[[gnu::always_inline]] inline std::uint64_t from_first_set(std::uint64_t bits) noexcept {
    for (int shift = 1; shift < width; shift *= 2)
        bits |= (bits << shift) & ~(first_bits<width> * ((std::uint64_t{1} << shift) - 1));
    return bits;
}

// Bit i for lane i, from the lanes' last bits.
template <int width>
[[gnu::always_inline]] inline unsigned lane_bits(std::uint64_t last) noexcept {
    return static_cast<unsigned>(_pext_u64(last, last_bits<width>));
}

// In both 64-bit halves of each lane: how many of the lane's bytes `bits` marks.
[[gnu::always_inline]] inline __m512i lane_counts(std::uint64_t bits) noexcept {
    const __m512i halves = _mm512_sad_epu8(_mm512_maskz_set1_epi8(bits, 1), _mm512_setzero_si512());
    return _mm512_add_epi64(halves, _mm512_maskz_shuffle_epi32(0xFFFF, halves, _MM_PERM_BADC));
}

// The numbers [at[i], ends[i]) for i from 0 to 3.
template <bool exponents>
[[gnu::always_inline]] inline four_numbers read_four(const char* const* at,
                                                     const char* const* ends) noexcept {
    const auto last16 = [](const char* end) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
    };
    __m512i x = _mm512_zextsi128_si512(last16(ends[0]));
    x = _mm512_inserti32x4(x, last16(ends[1]), 1);
    x = _mm512_inserti32x4(x, last16(ends[2]), 2);
    x = _mm512_inserti32x4(x, last16(ends[3]), 3);
    const __m256i lengths =
        _mm256_sub_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ends)),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)));
    const unsigned fit = _mm256_cmple_epu64_mask(lengths, _mm256_set1_epi64x(16));
    // Each number's length (its low byte, which is all of it when it fits) in every byte of its
    // lane; the number's own bytes are the lanes' last `length`.
    const __m512i lane_lengths =
        _mm512_shuffle_epi8(_mm512_maskz_permutexvar_epi64(
                                0xFF, _mm512_set_epi64(3, 3, 2, 2, 1, 1, 0, 0),
                                _mm512_maskz_inserti64x4(0xFF, _mm512_setzero_si512(), lengths, 0)),
                            _mm512_setzero_si512());
    const __m512i places = _mm512_set4_epi32(0x0F0E0D0C, 0x0B0A0908, 0x07060504, 0x03020100);
    const std::uint64_t own =
        _mm512_cmpgt_epu8_mask(_mm512_add_epi8(lane_lengths, places), _mm512_set1_epi8(15));
    const std::uint64_t digits =
        own &
        _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
    const std::uint64_t points = own & _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('.'));
    const std::uint64_t minus = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-'));
    const std::uint64_t signs = minus | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('+'));
    const std::uint64_t first = own & ~((own << 1) & ~first_bits<16>);
    // The mantissa is the number up to its e, if any; what follows the e is its exponent.
    std::uint64_t mantissa = own;
    std::uint64_t bad = 0;
    std::uint64_t es = 0;
    std::uint64_t from_e = 0;
    std::uint64_t exponent_digits = 0;
    std::uint64_t exponent_sign = 0;
    if constexpr (exponents) {
        es = own & _mm512_cmpeq_epi8_mask(_mm512_or_si512(x, _mm512_set1_epi8(0x20)),
                                          _mm512_set1_epi8('e'));
        from_e = from_first_set<16>(es);
        mantissa = own & ~from_e;
        exponent_sign = (es << 1) & ~first_bits<16> & signs;
        const std::uint64_t body = from_e & ~es;
        exponent_digits = body & digits;
        // Refused here: a second e; after the e, anything but a sign first and digits; more
        // than 3 digits; none.
        bad = (es & (from_e << 1) & ~first_bits<16>) | (body & ~(exponent_digits | exponent_sign)) |
              (exponent_digits & ~(first_bits<16> * 0xE000)) |
              (lanes_with_any<16>(es) & ~lanes_with_any<16>(exponent_digits));
    }
    const std::uint64_t sign = first & signs;
    const std::uint64_t mantissa_digits = mantissa & digits;
    const std::uint64_t mantissa_points = mantissa & points;
    const std::uint64_t spread_point = from_first_set<16>(mantissa_points);
    // Refused here: in the mantissa, a byte that is not a digit, the point or a leading sign; a
    // second point; a point first in the lane (16 bytes with a point first would need 10^16);
    // no digit at all.
    bad |= (mantissa & ~(mantissa_digits | mantissa_points | sign)) |
           (mantissa_points & (spread_point << 1) & ~first_bits<16>) |
           (mantissa_points & first_bits<16>);
    const std::uint64_t from_point = spread_point & mantissa;
    // From the point on, each byte of the mantissa takes the digit after it: the point is
    // squeezed out and a 0 comes in last, so the mantissa's value is ten times its digits',
    // and the power of ten to divide by is the count of bytes from the point on, one more than
    // the digits after the point.
    __m512i values = _mm512_maskz_sub_epi8(mantissa_digits, x, _mm512_set1_epi8('0'));
    values = _mm512_mask_blend_epi8(from_point, values, _mm512_bsrli_epi128(values, 1));
    __m512i exponent = _mm512_sub_epi64(_mm512_setzero_si512(), lane_counts(from_point));
    if constexpr (exponents) {
        // The mantissa moved to the end of its lane, past the exponent's bytes.
        const __m512i shift = _mm512_shuffle_epi8(lane_counts(from_e), _mm512_setzero_si512());
        values = _mm512_shuffle_epi8(values, _mm512_sub_epi8(places, shift));
        // The exponent's digits are the lane's last three at most: 100, 10 and 1 times each.
        const __m512i exponent_values =
            _mm512_maskz_sub_epi8(exponent_digits, x, _mm512_set1_epi8('0'));
        const __m512i weighted = _mm512_madd_epi16(
            _mm512_maddubs_epi16(exponent_values, _mm512_set4_epi32(0x010A6400, 0, 0, 0)),
            _mm512_set1_epi16(1));
        const __m512i magnitude = _mm512_maskz_shuffle_epi32(0x1111, weighted, _MM_PERM_DDDD);
        const auto negative_exponent = static_cast<__mmask8>(
            _pdep_u32(lane_bits<16>(lanes_with_any<16>(exponent_sign & minus)), 0x55));
        exponent = _mm512_add_epi64(
            exponent,
            _mm512_mask_sub_epi64(magnitude, negative_exponent, _mm512_setzero_si512(), magnitude));
    }
    // Summed in pairs, fours and eights as eight_digit_groups does, then the two eights of
    // each lane joined.
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x010A));
    const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010064));
    const __m512i eights =
        _mm512_madd_epi16(_mm512_packus_epi32(fours, fours), _mm512_set1_epi32(0x00012710));
    const __m512i joined =
        _mm512_add_epi64(_mm512_maskz_mul_epu32(0xFF, eights, _mm512_set1_epi64(100000000)),
                         _mm512_maskz_srli_epi64(0xFF, eights, 32));
    four_numbers four{
        joined, exponent,
        lane_bits<16>(lanes_with_any<16>(mantissa_digits) & ~lanes_with_any<16>(bad)) & fit,
        lane_bits<16>(lanes_with_any<16>(sign & minus)), lane_bits<16>(lanes_with_any<16>(es))};
    if constexpr (exponents) {
        // The words, in the lanes' last 3 or 8 bytes, with a sign before or nothing; each has
        // an n, which numbers have not.
        const __m512i lowered = _mm512_or_si512(x, _mm512_set1_epi8(0x20));
        if ((own & _mm512_cmpeq_epi8_mask(lowered, _mm512_set1_epi8('n'))) != 0) [[unlikely]] {
            const auto word = [&](__m512i pattern, std::uint64_t bytes) {
                const std::uint64_t matched = _mm512_cmpeq_epi8_mask(lowered, pattern);
                return lane_bits<16>(~lanes_with_any<16>((bytes & ~(matched & own)) |
                                                         (own & ~bytes & ~sign))) &
                       fit;
            };
            constexpr std::uint64_t three = first_bits<16> * 0xE000;
            four.nan = word(_mm512_set4_epi32(0x6E616E00, 0, 0, 0), three);        // "nan"
            four.infinity = word(_mm512_set4_epi32(0x666E6900, 0, 0, 0), three) |  // "inf"
                            word(_mm512_set4_epi32(0x7974696E, 0x69666E69, 0, 0),
                                 first_bits<16> * 0xFF00);  // "infinity"
        }
    }
    return four;
}

// Reads the eight numbers [at[i], ends[i]) that have read_four's shape into values[i], and
// returns a bit i for each, and bit 8 + i for each of those that has an exponent; values[i] of
// the others is left undefined. Reads 16 bytes before each end. With `exponents`, it reads
// the words too.
//
// Exact: the digits v, times 10^t, are read as v × 10^t or v / 10^-t, with |t| <= 22.
//  - With no exponent, v is below 10^16 < 2^54. Without a point, t = 0 and v × 1 is v rounded
//    once to the nearest double. With one, v is ten times the digits, an even integer, and
//    every even integer below 2^54 is a double.
//  - With an exponent, the mantissa has at most 14 bytes, so v < 10^14 is a double.
// 10^|t| is a double too, so the product or quotient is one IEEE operation, rounded once to
// nearest: the double nearest to the number, which the scalar reader gives too.
template <bool exponents>
[[gnu::always_inline]] inline unsigned read_eight(const char* const* at, const char* const* ends,
                                                  double* values) noexcept {
    const four_numbers low = read_four<exponents>(at, ends);
    const four_numbers high = read_four<exponents>(at + 4, ends + 4);
    const __m512i pick = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
    const __m512d digits =
        _mm512_cvtepu64_pd(_mm512_permutex2var_epi64(low.digits, pick, high.digits));
    const __m512i exponent = _mm512_permutex2var_epi64(low.exponent, pick, high.exponent);
    const __m512i magnitude = _mm512_maskz_abs_epi64(0xFF, exponent);
    __m512d powers = _mm512_permutex2var_pd(_mm512_loadu_pd(exact_powers_of_ten), magnitude,
                                            _mm512_loadu_pd(exact_powers_of_ten + 8));
    __m512d scaled;
    unsigned ok = low.ok | high.ok << 4;
    if constexpr (exponents) {
        powers = _mm512_mask_permutexvar_pd(
            powers, _mm512_cmpge_epu64_mask(magnitude, _mm512_set1_epi64(16)), magnitude,
            _mm512_maskz_loadu_pd(0x7F, exact_powers_of_ten + 16));
        scaled = _mm512_mask_mul_pd(_mm512_div_pd(digits, powers),
                                    _mm512_cmpgt_epi64_mask(exponent, _mm512_setzero_si512()),
                                    digits, powers);
        ok &= _mm512_cmple_epu64_mask(magnitude, _mm512_set1_epi64(22));
        // The words, as the scalar reader gives them: the quiet NaN and infinity, signed.
        const unsigned nan = low.nan | high.nan << 4;
        const unsigned infinity = low.infinity | high.infinity << 4;
        scaled = _mm512_mask_mov_pd(scaled, nan,
                                    _mm512_set1_pd(std::numeric_limits<double>::quiet_NaN()));
        scaled = _mm512_mask_mov_pd(scaled, infinity,
                                    _mm512_set1_pd(std::numeric_limits<double>::infinity()));
        ok |= nan | infinity;
    } else {
        scaled = _mm512_div_pd(digits, powers);
    }
    const __m512i signed_values =
        _mm512_mask_or_epi64(_mm512_castpd_si512(scaled), low.negative | high.negative << 4,
                             _mm512_castpd_si512(scaled), _mm512_set1_epi64(INT64_MIN));
    _mm512_storeu_si512(values, signed_values);
    return ok | ((low.with_exponent | high.with_exponent << 4) & ok) << 8;
}

// Longer plain numbers are scanned eight or four at a time, two to a vector, one in each 256-bit
// half, its last byte in the half's last byte: scan_plain for several numbers at once, a
// leading '+' allowed too.
constexpr bool scans_pairs = true;

// The doubles nearest to w / 10^k in the lanes of `exact`, from one division and a check in
// integers; the other lanes are left to scale_exact.
//
// Exact: let Q = w / 10^k and q = fl(fl(w) / 10^k) = m × 2^E, 2^52 <= m < 2^53.
//  - Where w <= 2^53 or k = 0, one of the two roundings is exact, so q is Q rounded once.
//  - Otherwise take 1 <= k <= 18 and E <= 0. Then |q - Q| <= 2^(E-1) + |fl(w) - w| / 10^k
//    <= 2^(E-1) + 2^-53 Q, and Q < 2^(E+53) + |q - Q|, so |q - Q| < 1.5 × 2^E (1 + 2^-52).
//    The residual R = (Q - q) 10^k / 2^E = w 2^-E - m 10^k is an integer with
//    |R| < 1.5 × 10^18 (1 + 2^-52) < 2^61, so its value modulo 2^64 is R itself.
//    Q - q is R / 10^k units of 2^E, and the double nearest to Q is
//      q         when |2R| < 10^k, and R >= 0 if m = 2^52 (below it, the doubles are closer);
//      q + 2^E   when 10^k < 2R < 3 × 10^k: the next double, the bits plus one, across a
//                power of two too;
//      q - 2^E   when -3 × 10^k < 2R < -10^k and m >= 2^52 + 2: the one before, with the
//                one before that 2^E further on.
//    Every other case (a tie, E > 0, k > 18, or m near 2^52 with R < 0) is left.
[[gnu::always_inline]] inline __m512d divide_exactly(__m512i w, __m512i k,
                                                     __mmask8& exact) noexcept {
    __m512d powers = _mm512_permutex2var_pd(_mm512_loadu_pd(exact_powers_of_ten), k,
                                            _mm512_loadu_pd(exact_powers_of_ten + 8));
    powers = _mm512_mask_permutexvar_pd(powers, _mm512_cmpge_epu64_mask(k, _mm512_set1_epi64(16)),
                                        k, _mm512_maskz_loadu_pd(0x7F, exact_powers_of_ten + 16));
    const __m512d q = _mm512_div_pd(_mm512_cvtepu64_pd(w), powers);
    const __m512i bits = _mm512_castpd_si512(q);
    const __m512i m = _mm512_or_si512(_mm512_and_si512(bits, _mm512_set1_epi64(0xFFFFFFFFFFFFF)),
                                      _mm512_set1_epi64(std::int64_t{1} << 52));
    // -E, and 10^k as an integer
    const __m512i shift =
        _mm512_sub_epi64(_mm512_set1_epi64(1075), _mm512_maskz_srli_epi64(0xFF, bits, 52));
    const __m512i power = _mm512_maskz_cvttpd_epi64(0xFF, powers);
    const __m512i twice =
        _mm512_maskz_slli_epi64(0xFF,
                                _mm512_sub_epi64(_mm512_maskz_sllv_epi64(0xFF, w, shift),
                                                 _mm512_maskz_mullo_epi64(0xFF, m, power)),
                                1);
    const __m512i minus_power = _mm512_sub_epi64(_mm512_setzero_si512(), power);
    const __mmask8 up =
        _mm512_cmpgt_epi64_mask(twice, power) &
        _mm512_cmplt_epi64_mask(twice, _mm512_add_epi64(power, _mm512_add_epi64(power, power)));
    const __mmask8 down =
        _mm512_cmplt_epi64_mask(twice, minus_power) &
        _mm512_cmpgt_epi64_mask(twice,
                                _mm512_sub_epi64(minus_power, _mm512_add_epi64(power, power))) &
        _mm512_cmpge_epi64_mask(m, _mm512_set1_epi64((std::int64_t{1} << 52) + 2));
    const __mmask8 stays = _mm512_cmplt_epi64_mask(twice, power) &
                           _mm512_cmpgt_epi64_mask(twice, minus_power) &
                           (_mm512_cmpgt_epi64_mask(m, _mm512_set1_epi64(std::int64_t{1} << 52)) |
                            _mm512_cmpge_epi64_mask(twice, _mm512_setzero_si512()));
    const __mmask8 once = _mm512_cmple_epu64_mask(w, _mm512_set1_epi64(std::int64_t{1} << 53)) |
                          _mm512_cmpeq_epi64_mask(k, _mm512_setzero_si512());
    exact = once | ((up | down | stays) & _mm512_cmple_epu64_mask(k, _mm512_set1_epi64(18)) &
                    _mm512_cmpge_epi64_mask(shift, _mm512_setzero_si512()));
    const __m512i corrected =
        _mm512_mask_sub_epi64(_mm512_mask_add_epi64(bits, up & ~once, bits, _mm512_set1_epi64(1)),
                              down & ~once, bits, _mm512_set1_epi64(1));
    return _mm512_castsi512_pd(corrected);
}

// scan_plain for the numbers index[0] to index[2 × pairs - 1] of at and ends, a leading '+'
// allowed too, two to a vector, into numbers and shapes; those that divide_exactly converts are
// given in values, as scanned::converted, and have no record. Returns how many it read.
template <int pairs>
[[gnu::always_inline]] inline int scan_plain_pairs(const int* index, const char* const* at,
                                                   const char* const* ends, plain_number* numbers,
                                                   scanned* shapes, double* values) noexcept {
    // Each byte up to the point takes the one before it: the point is squeezed out and the
    // digits stay where their places say.
    const __m512i before = _mm512_set_epi8(
        62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40,
        39, 38, 37, 36, 35, 34, 33, 32, 32, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17,
        16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0);
    __m512i groups[4];
    __m512i digit_values[4];
    alignas(64) std::int64_t fraction[8] = {};
    unsigned ok = 0;
    unsigned negative = 0;
    for (int pair = 0; pair < pairs; ++pair) {
        const char* const first[2] = {at[index[2 * pair]], at[index[2 * pair + 1]]};
        const char* const end[2] = {ends[index[2 * pair]], ends[index[2 * pair + 1]]};
        const __m512i x = _mm512_maskz_inserti64x4(
            0xFF,
            _mm512_maskz_inserti64x4(
                0xFF, _mm512_setzero_si512(),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end[0] - 32)), 0),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end[1] - 32)), 1);
        // The numbers' own bytes are the halves' last `length`.
        const auto length_0 = static_cast<std::uint64_t>(end[0] - first[0]);
        const auto length_1 = static_cast<std::uint64_t>(end[1] - first[1]);
        const std::uint64_t own =
            static_cast<std::uint32_t>(~std::uint64_t{0} << ((32 - length_0) & 63)) |
            (~std::uint64_t{0} << ((32 - length_1) & 63)) << 32;
        const std::uint64_t digits =
            own &
            _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
        const std::uint64_t points = own & _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('.'));
        const std::uint64_t minus = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-'));
        const std::uint64_t sign =
            own & ~((own << 1) &
                    ~first_bits<32>)&(minus | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('+')));
        const std::uint64_t from_point = from_first_set<32>(points);
        // Refused here: a byte that is not a digit, the point or a leading sign; a second point;
        // no digit at all; more than 31 bytes.
        const std::uint64_t bad =
            (own & ~(digits | points | sign)) | (points & (from_point << 1) & ~first_bits<32>);
        ok |= static_cast<unsigned>(
                  lane_bits<32>(lanes_with_any<32>(digits) & ~lanes_with_any<32>(bad)) &
                  ((length_0 <= 31) | (length_1 <= 31) << 1))
              << 2 * pair;
        negative |= static_cast<unsigned>(lane_bits<32>(lanes_with_any<32>(sign & minus)))
                    << 2 * pair;
        const std::uint64_t after_point = from_point & ~points;
        fraction[2 * pair] = std::popcount(static_cast<std::uint32_t>(after_point));
        fraction[2 * pair + 1] = std::popcount(after_point >> 32);
        // In a half with a point, the bytes up to it.
        const std::uint64_t squeeze =
            (~from_point | points) & (lanes_with_any<32>(points) >> 31) * 0xFFFFFFFF;
        const __m512i values = _mm512_maskz_sub_epi8(digits, x, _mm512_set1_epi8('0'));
        const __m512i squeezed = _mm512_mask_permutexvar_epi8(values, squeeze, before, values);
        digit_values[pair] = squeezed;
        const __m512i pair_sums = _mm512_maddubs_epi16(squeezed, _mm512_set1_epi16(0x010A));
        const __m512i fours = _mm512_madd_epi16(pair_sums, _mm512_set1_epi32(0x00010064));
        const __m512i eights =
            _mm512_madd_epi16(_mm512_packus_epi32(fours, fours), _mm512_set1_epi32(0x00012710));
        groups[pair] =
            _mm512_add_epi64(_mm512_maskz_mul_epu32(0xFF, eights, _mm512_set1_epi64(100000000)),
                             _mm512_maskz_srli_epi64(0xFF, eights, 32));
    }
    // Up to 20 digits end each half: its first 16 bytes hold up to 4 of them, the rest 16.
    const __m512i tops = _mm512_set_epi64(0, 0, 0, 0, 12, 8, 4, 0);
    const __m512i rests = _mm512_set_epi64(0, 0, 0, 0, 14, 10, 6, 2);
    __m512i top = _mm512_permutex2var_epi64(groups[0], tops, groups[1]);
    __m512i rest = _mm512_permutex2var_epi64(groups[0], rests, groups[1]);
    if constexpr (pairs == 4) {
        top = _mm512_maskz_shuffle_i64x2(
            0xFF, top, _mm512_permutex2var_epi64(groups[2], tops, groups[3]), 0x44);
        rest = _mm512_maskz_shuffle_i64x2(
            0xFF, rest, _mm512_permutex2var_epi64(groups[2], rests, groups[3]), 0x44);
    }
    const __m512i value = _mm512_add_epi64(
        _mm512_maskz_mullo_epi64(0xFF, top, _mm512_set1_epi64(10000000000000000)), rest);
    // 20 digits fit 64 bits up to 18446744073709551615; no more than 20 after the point.
    const __m512i fractions = _mm512_load_si512(fraction);
    const unsigned shaped = ok & _mm512_cmple_epu64_mask(fractions, _mm512_set1_epi64(20));
    const unsigned fits = _mm512_cmplt_epu64_mask(top, _mm512_set1_epi64(1844)) |
                          (_mm512_cmpeq_epi64_mask(top, _mm512_set1_epi64(1844)) &
                           _mm512_cmple_epu64_mask(rest, _mm512_set1_epi64(6744073709551615)));
    const unsigned read = shaped & fits;
    // 20 digits that do not fit are cut to their first 19, and the record says so.
    const unsigned cut =
        shaped & ~fits & _mm512_cmplt_epu64_mask(top, _mm512_set1_epi64(10000)) & 0xFF;
    // More than 20 digits from the first that is not 0: the first 19 kept, the rest cut, as
    // the scalar reader keeps them; and digits that fit with more than 20 after the point.
    const unsigned many = ok & _mm512_cmpge_epu64_mask(top, _mm512_set1_epi64(10000)) & 0xFF;
    const unsigned deep = ok & ~shaped & fits & 0xFF;
    __mmask8 exact;
    const __m512d quotients = divide_exactly(value, fractions, exact);
    const unsigned converted = read & exact;
    alignas(64) std::uint64_t digits[8];
    alignas(64) double signed_quotients[8];
    _mm512_store_si512(digits, value);
    _mm512_store_si512(
        signed_quotients,
        _mm512_mask_or_epi64(_mm512_castpd_si512(quotients), negative,
                             _mm512_castpd_si512(quotients), _mm512_set1_epi64(INT64_MIN)));
    alignas(64) std::uint64_t tops_and_rests[2][8];
    if ((cut | many | deep) != 0) [[unlikely]] {
        _mm512_store_si512(tops_and_rests[0], top);
        _mm512_store_si512(tops_and_rests[1], rest);
    }
    for (int j = 0; j < 2 * pairs; ++j) {
        const int i = index[j];
        values[i] = signed_quotients[j];
        if (((converted >> j) & 1) != 0) [[likely]] {
            shapes[i] = scanned::converted;
        } else {
            numbers[i].digits = digits[j];
            numbers[i].exponent = static_cast<std::int32_t>(-fraction[j]);
            numbers[i].negative = ((negative >> j) & 1) != 0;
            numbers[i].truncated = false;
            shapes[i] = ((read >> j) & 1) != 0 ? scanned::plain : scanned::none;
            if (((cut >> j) & 1) != 0) {
                const std::uint64_t last_sixteen = tops_and_rests[1][j];
                numbers[i].digits = tops_and_rests[0][j] * 1000000000000000 + last_sixteen / 10;
                numbers[i].exponent += 1;
                numbers[i].truncated = last_sixteen % 10 != 0;
                shapes[i] = scanned::exponent;
            } else if (((many >> j) & 1) != 0) [[unlikely]] {
                alignas(64) std::uint8_t lanes[64];
                _mm512_store_si512(lanes, digit_values[j / 2]);
                const std::uint8_t* const half = lanes + 32 * (j % 2);
                int lane = 0;
                while (half[lane] == 0)
                    ++lane;
                std::uint64_t kept = 0;
                for (const int stop = lane + 19; lane < stop; ++lane)
                    kept = kept * 10 + half[lane];
                numbers[i].digits = kept;
                numbers[i].exponent += 32 - lane;
                numbers[i].truncated = false;
                for (; lane < 32; ++lane)
                    numbers[i].truncated |= half[lane] != 0;
                shapes[i] = scanned::exponent;
            } else if (((deep >> j) & 1) != 0) {
                shapes[i] = scanned::exponent;
            }
        }
    }
    return std::popcount(read | cut | many | deep);
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
