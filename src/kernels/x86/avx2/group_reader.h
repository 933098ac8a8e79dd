// The AVX2 set's group reader: short numbers eight at a time, two to a vector, one in each
// 128-bit lane, in the manner of the AVX-512 set's (x86/avx512/group_reader.h, which has the
// proof of exactness): the bytes of a number of up to 16 end in the last byte of its lane, so
// that its digits' places are the lanes' places. AVX2 has no mask registers, so the classes of
// bytes are bit masks from movemask, worked on in general registers (x86/lanes.h), and turned
// back into byte masks where a vector step needs them. Included by the set's file inside its
// target region, after x86/lanes.h.

// The byte mask of a bit mask: lane i all ones where bit i of `bits` is set.
[[gnu::always_inline]] inline __m256i byte_mask(std::uint64_t bits) noexcept {
    const __m256i spread = _mm256_shuffle_epi8(
        _mm256_set1_epi32(static_cast<int>(bits)),
        _mm256_setr_epi64x(0, 0x0101010101010101, 0x0202020202020202, 0x0303030303030303));
    const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

// Movemask of a byte comparison, bit i for lane i, in a 64-bit word as x86/lanes.h takes it.
[[gnu::always_inline]] inline std::uint64_t mask_of(__m256i bytes) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
}

// What two numbers' lanes hold after the reading: bits 0 and 1 for the numbers.
struct two_numbers {
    __m256i digits;            // in 64-bit lanes 0 and 2: the digits as an integer, times 10 when
                               // there is a point
    std::int64_t exponent[2];  // the power of ten t, the number being digits × 10^t
    unsigned ok;
    unsigned negative;
    unsigned with_exponent;
    unsigned nan = 0;
    unsigned infinity = 0;
};

// The numbers [at[i], ends[i]) for i = 0 and 1, in the shapes the AVX-512 set's read_four reads.
template <bool exponents>
[[gnu::always_inline]] inline two_numbers read_two(const char* const* at,
                                                   const char* const* ends) noexcept {
    const __m256i x = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ends[0] - 16))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends[1] - 16)), 1);
    const auto length_0 = static_cast<std::uint64_t>(ends[0] - at[0]);
    const auto length_1 = static_cast<std::uint64_t>(ends[1] - at[1]);
    const unsigned fit =
        static_cast<unsigned>(length_0 <= 16) | static_cast<unsigned>(length_1 <= 16) << 1;
    // The numbers' own bytes are the lanes' last `length`.
    const std::uint64_t own = (std::uint64_t{0xFFFF} << ((16 - length_0) & 15) & 0xFFFF) |
                              (std::uint64_t{0xFFFF} << ((16 - length_1) & 15) & 0xFFFF) << 16;
    const std::uint64_t digits =
        own & mask_of(_mm256_cmpeq_epi8(
                  _mm256_min_epu8(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), _mm256_set1_epi8(9)),
                  _mm256_sub_epi8(x, _mm256_set1_epi8('0'))));
    const std::uint64_t points = own & mask_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('.')));
    const std::uint64_t minus = mask_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')));
    const std::uint64_t signs = minus | mask_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('+')));
    const std::uint64_t first = own & ~((own << 1) & ~first_bits<16>);
    // The mantissa is the number up to its e, if any; what follows the e is its exponent.
    std::uint64_t mantissa = own;
    std::uint64_t bad = 0;
    std::uint64_t es = 0;
    std::uint64_t from_e = 0;
    std::uint64_t exponent_digits = 0;
    std::uint64_t exponent_sign = 0;
    if constexpr (exponents) {
        es = own & mask_of(_mm256_cmpeq_epi8(_mm256_or_si256(x, _mm256_set1_epi8(0x20)),
                                             _mm256_set1_epi8('e')));
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
    // second point; a point first in the lane; no digit at all.
    bad |= (mantissa & ~(mantissa_digits | mantissa_points | sign)) |
           (mantissa_points & (spread_point << 1) & ~first_bits<16>) |
           (mantissa_points & first_bits<16>);
    const std::uint64_t from_point = spread_point & mantissa;
    // From the point on, each byte of the mantissa takes the digit after it, which squeezes the
    // point out; the power of ten to divide by is the count of bytes from the point on.
    __m256i values =
        _mm256_and_si256(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), byte_mask(mantissa_digits));
    values = _mm256_blendv_epi8(values, _mm256_srli_si256(values, 1), byte_mask(from_point));
    two_numbers two{};
    two.exponent[0] = -std::popcount(from_point & 0xFFFF);
    two.exponent[1] = -std::popcount(from_point >> 16);
    if constexpr (exponents) {
        // The mantissa moved to the end of its lane, past the exponent's bytes.
        const auto shift_0 = static_cast<char>(std::popcount(from_e & 0xFFFF));
        const auto shift_1 = static_cast<char>(std::popcount(from_e >> 16));
        const __m256i places =
            _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5,
                             6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m256i shifts = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_set1_epi8(shift_0)), _mm_set1_epi8(shift_1), 1);
        values = _mm256_shuffle_epi8(values, _mm256_sub_epi8(places, shifts));
        // The exponent's digits are the lane's last three at most: 100, 10 and 1 times each.
        const __m256i exponent_values =
            _mm256_and_si256(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), byte_mask(exponent_digits));
        const __m256i weighted = _mm256_madd_epi16(
            _mm256_maddubs_epi16(exponent_values,
                                 _mm256_setr_epi32(0, 0, 0, 0x010A6400, 0, 0, 0, 0x010A6400)),
            _mm256_set1_epi16(1));
        const std::uint64_t negative_exponent = lanes_with_any<16>(exponent_sign & minus);
        const std::int64_t magnitude_0 = _mm256_extract_epi32(weighted, 3);
        const std::int64_t magnitude_1 = _mm256_extract_epi32(weighted, 7);
        two.exponent[0] += (negative_exponent & 0x8000) != 0 ? -magnitude_0 : magnitude_0;
        two.exponent[1] += (negative_exponent & 0x80000000) != 0 ? -magnitude_1 : magnitude_1;
    }
    // Summed in pairs, fours and eights, then the two eights of each lane joined.
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi16(0x010A));
    const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
    const __m256i eights =
        _mm256_madd_epi16(_mm256_packus_epi32(fours, fours), _mm256_set1_epi32(0x00012710));
    two.digits = _mm256_add_epi64(_mm256_mul_epu32(eights, _mm256_set1_epi64x(100000000)),
                                  _mm256_srli_epi64(eights, 32));
    two.ok = lane_bits<16>(lanes_with_any<16>(mantissa_digits) & ~lanes_with_any<16>(bad)) & fit;
    two.negative = lane_bits<16>(lanes_with_any<16>(sign & minus));
    two.with_exponent = lane_bits<16>(lanes_with_any<16>(es));
    if constexpr (exponents) {
        // The words, in the lanes' last 3 or 8 bytes, with a sign before or nothing; each has
        // an n, which numbers have not.
        const __m256i lowered = _mm256_or_si256(x, _mm256_set1_epi8(0x20));
        if ((own & mask_of(_mm256_cmpeq_epi8(lowered, _mm256_set1_epi8('n')))) != 0) [[unlikely]] {
            const auto word = [&](__m256i pattern, std::uint64_t bytes) {
                const std::uint64_t matched = mask_of(_mm256_cmpeq_epi8(lowered, pattern));
                return lane_bits<16>(~lanes_with_any<16>((bytes & ~(matched & own)) |
                                                         (own & ~bytes & ~sign))) &
                       fit;
            };
            constexpr std::uint64_t three = 0xE000E000;
            two.nan = word(_mm256_setr_epi32(0, 0, 0, 0x6E616E00, 0, 0, 0, 0x6E616E00), three);
            two.infinity =
                word(_mm256_setr_epi32(0, 0, 0, 0x666E6900, 0, 0, 0, 0x666E6900), three) |
                word(_mm256_setr_epi32(0, 0, 0x69666E69, 0x7974696E, 0, 0, 0x69666E69, 0x7974696E),
                     0xFF00FF00);
        }
    }
    return two;
}

// All ones in 64-bit lane i where bit i of `bits` is set, for i from 0 to 3.
[[gnu::always_inline]] inline __m256i qword_mask(unsigned bits) noexcept {
    const __m256i bit = _mm256_setr_epi64x(1, 2, 4, 8);
    return _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), bit), bit);
}

// Exactly the double of each of the four integers below 2^64 in the 64-bit lanes of v: its
// upper and lower halves are made doubles exactly (2^84 + upper × 2^32 and 2^52 + lower), the
// first less 2^84 + 2^52, exactly; adding the second rounds once.
[[gnu::always_inline]] inline __m256d to_doubles(__m256i v) noexcept {
    const __m256i high =
        _mm256_or_si256(_mm256_srli_epi64(v, 32), _mm256_set1_epi64x(0x4530000000000000));
    const __m256i low = _mm256_blend_epi32(v, _mm256_set1_epi64x(0x4330000000000000), 0xAA);
    return _mm256_add_pd(
        _mm256_sub_pd(_mm256_castsi256_pd(high),
                      _mm256_set1_pd(19342813118337666422669312.0)),  // 2^84 + 2^52
        _mm256_castsi256_pd(low));
}

// Reads the eight numbers [at[i], ends[i]) that have read_two's shape into values[i], and
// returns a bit i for each, and bit 8 + i for each of those that has an exponent; values[i] of
// the others is left undefined. Reads 16 bytes before each end. With `exponents`, it reads
// the words too. Exact for the reasons the AVX-512 set's read_eight gives: each value is v × 10^t
// or v / 10^-t with v and 10^|t| exact doubles, one IEEE operation.
template <bool exponents>
[[gnu::always_inline]] inline unsigned read_eight(const char* const* at, const char* const* ends,
                                                  double* values) noexcept {
    unsigned ok = 0;
    unsigned negative = 0;
    unsigned with_exponent = 0;
    unsigned nan = 0;
    unsigned infinity = 0;
    alignas(32) std::int64_t magnitudes[8];
    alignas(32) std::int64_t exponents_up[8];  // all ones where t > 0
    __m256i digits[4];
    for (int pair = 0; pair < 4; ++pair) {
        const two_numbers two = read_two<exponents>(at + 2 * pair, ends + 2 * pair);
        digits[pair] = two.digits;
        for (int n = 0; n < 2; ++n) {
            const std::int64_t t = two.exponent[n];
            const std::int64_t magnitude = t < 0 ? -t : t;
            const bool in_range = magnitude <= 22;
            magnitudes[2 * pair + n] = in_range ? magnitude : 0;
            exponents_up[2 * pair + n] = -static_cast<std::int64_t>(t > 0);
            ok |= static_cast<unsigned>(((two.ok >> n) & 1) != 0 && in_range) << (2 * pair + n);
        }
        negative |= two.negative << 2 * pair;
        with_exponent |= two.with_exponent << 2 * pair;
        if constexpr (exponents) {
            nan |= two.nan << 2 * pair;
            infinity |= two.infinity << 2 * pair;
        }
    }
    for (int half = 0; half < 2; ++half) {
        // Numbers 4 × half to 4 × half + 3, from the 64-bit lanes 0 and 2 of two pairs' digits.
        const __m256i v = _mm256_permute4x64_epi64(
            _mm256_unpacklo_epi64(digits[2 * half], digits[2 * half + 1]), 0xD8);
        const __m256d d = to_doubles(v);
        const __m256d powers = _mm256_setr_pd(
            exact_powers_of_ten[magnitudes[4 * half]], exact_powers_of_ten[magnitudes[4 * half + 1]],
            exact_powers_of_ten[magnitudes[4 * half + 2]],
            exact_powers_of_ten[magnitudes[4 * half + 3]]);
        __m256d scaled = _mm256_div_pd(d, powers);
        if constexpr (exponents) {
            scaled = _mm256_blendv_pd(
                scaled, _mm256_mul_pd(d, powers),
                _mm256_castsi256_pd(
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(exponents_up + 4 * half))));
            scaled =
                _mm256_blendv_pd(scaled, _mm256_set1_pd(std::numeric_limits<double>::quiet_NaN()),
                                 _mm256_castsi256_pd(qword_mask((nan >> 4 * half) & 0xF)));
            scaled =
                _mm256_blendv_pd(scaled, _mm256_set1_pd(std::numeric_limits<double>::infinity()),
                                 _mm256_castsi256_pd(qword_mask((infinity >> 4 * half) & 0xF)));
        }
        const __m256i sign =
            _mm256_and_si256(qword_mask((negative >> 4 * half) & 0xF), _mm256_set1_epi64x(INT64_MIN));
        _mm256_storeu_pd(values + 4 * half,
                         _mm256_castsi256_pd(_mm256_or_si256(_mm256_castpd_si256(scaled), sign)));
    }
    ok |= nan | infinity;
    return ok | (with_exponent & ok) << 8;
}
