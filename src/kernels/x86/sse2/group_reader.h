// The baseline set's group reader: short numbers eight at a time, one to a 16-byte vector, with
// SSE2 alone, in the manner of the AVX2 and AVX-512 sets' (x86/avx512/group_reader.h): the
// bytes of a number of up to 16 end in the last byte of its vector, so that its digits' places
// are the vector's places, and the masks of four numbers' bytes are joined so that
// x86/group_shape.h reads all four at once. SSE2 has no byte shuffle, so a mantissa is not
// moved past its exponent: its digits are read where they stand, a power of ten for each byte
// of the exponent too many, which the exponent takes back (exact, as read_eight shows). Without
// SSSE3's byte multiply-add, digits are widened to 16 bits and summed in pairs with SSE2's.
// Included by the set's file inside its target region, after x86/lanes.h and x86/group_shape.h.

// The byte mask of 16 bits: byte i all ones where bit i of `bits` is set. Each byte of the
// bits is copied to eight bytes, which keep one bit each.
[[gnu::always_inline]] inline __m128i byte_mask(unsigned bits) noexcept {
    __m128i x = _mm_cvtsi32_si128(static_cast<int>(bits));
    x = _mm_unpacklo_epi8(x, x);
    x = _mm_unpacklo_epi16(x, x);
    x = _mm_unpacklo_epi32(x, x);
    const __m128i bit = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201));
    return _mm_cmpeq_epi8(_mm_and_si128(x, bit), bit);
}

// The four numbers' masks of one byte comparison, bits 16 i to 16 i + 15 from vector i.
[[gnu::always_inline]] inline std::uint64_t mask_of(const __m128i* x, char byte) noexcept {
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i)
        mask |= std::uint64_t{equal(x[i], byte)} << (16 * i);
    return mask;
}

// How many bits each 16-bit lane of `bits` has, in that lane: sums of bits in pairs, fours,
// bytes and lanes.
[[gnu::always_inline]] inline std::uint64_t lane_counts(std::uint64_t bits) noexcept {
    bits -= (bits >> 1) & 0x5555555555555555;
    bits = (bits & 0x3333333333333333) + ((bits >> 2) & 0x3333333333333333);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return (bits + (bits >> 8)) & 0x00FF00FF00FF00FF;
}

// The digits of the 16-byte digit values a and b as integers, in the two 64-bit lanes: summed
// in pairs, fours and eights, then the two eights of each joined.
[[gnu::always_inline]] inline __m128i two_values(__m128i a, __m128i b) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i tens = _mm_set1_epi32(0x0001000A);
    const __m128i hundreds = _mm_set1_epi32(0x00010064);
    const auto fours = [&](__m128i v) {
        const __m128i pairs = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), tens),
                                              _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), tens));
        return _mm_madd_epi16(pairs, hundreds);
    };
    const __m128i eights =
        _mm_madd_epi16(_mm_packs_epi32(fours(a), fours(b)), _mm_set1_epi32(0x00012710));
    return _mm_add_epi64(_mm_mul_epu32(eights, _mm_set1_epi64x(100000000)),
                         _mm_srli_epi64(eights, 32));
}

// The exponents' digits of a and b, which are the vectors' last three bytes at most, with
// 100, 10 and 1 times each: in 32-bit lanes 1 and 3.
[[gnu::always_inline]] inline __m128i two_exponents(__m128i a, __m128i b) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i last = _mm_unpackhi_epi64(a, b);
    const __m128i weights = _mm_setr_epi16(0, 0, 0, 0, 0, 100, 10, 1);
    const __m128i weighted =
        _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(last, zero), weights),
                        _mm_madd_epi16(_mm_unpackhi_epi8(last, zero), weights));
    return _mm_madd_epi16(weighted, _mm_set1_epi16(1));
}

// What four numbers' vectors hold after the reading.
struct four_numbers {
    __m128i digits[2];         // numbers 2 h and 2 h + 1 in digits[h]'s 64-bit lanes: the
                               // digits where they stand, as an integer
    std::int32_t exponent[4];  // the power of ten t, the number being digits × 10^t
    unsigned ok;
    unsigned negative;
    unsigned with_exponent;
    unsigned nan = 0;
    unsigned infinity = 0;
};

// 16 bytes of 0 then 16 of all ones: the 16 at `length` (up to 16) keep a vector's last
// `length` bytes.
alignas(32) inline constexpr unsigned char last_bytes[32] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The 16 bytes that end at each of four numbers' ends less `cut`, one to a vector, with the
// numbers' lengths, the masks of their own bytes and of the digits, bits 16 i to 16 i + 15 from
// vector i, and which of the numbers have at most `longest` bytes.
struct four_lanes {
    __m128i x[4];
    std::uint64_t lengths[4];
    std::uint64_t own = 0;
    std::uint64_t digits = 0;
    unsigned fit = 0;
};
template <int cut, int longest>
[[gnu::always_inline]] inline four_lanes lanes_of(const char* const* at,
                                                  const char* const* ends) noexcept {
    four_lanes lanes;
    for (int i = 0; i < 4; ++i) {
        lanes.x[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends[i] - cut - 16));
        // The number's own bytes are its vector's last `length`, none for a length of 0.
        const auto length = static_cast<std::uint64_t>(ends[i] - cut - at[i]);
        lanes.lengths[i] = length;
        lanes.fit |= static_cast<unsigned>(length <= longest) << i;
        lanes.own |= (std::uint64_t{0xFFFF0000} >> (length & 31) & 0xFFFF) << (16 * i);
        lanes.digits |= std::uint64_t{digit_bits(lanes.x[i])} << (16 * i);
    }
    return lanes;
}

// The four numbers of `lanes`.
template <bool exponents>
[[gnu::always_inline]] inline four_numbers read_four(const four_lanes& lanes) noexcept {
    const __m128i* const x = lanes.x;
    const std::uint64_t own = lanes.own;
    const std::uint64_t digits = lanes.digits;
    const unsigned fit = lanes.fit;
    four_numbers four{};
    group_bytes bytes{own, digits, mask_of(x, '.'), mask_of(x, '-'), 0, 0, fit};
    bytes.signs = bytes.minus | mask_of(x, '+');
    __m128i lowered[4];
    for (int i = 0; i < 4; ++i)
        lowered[i] = _mm_or_si128(x[i], _mm_set1_epi8(0x20));
    if constexpr (exponents) bytes.es = mask_of(lowered, 'e');
    const group_shape shape = shape_of_group<exponents>(bytes);

    const std::uint64_t point_counts = lane_counts(shape.from_point);
    const std::uint64_t e_counts = exponents ? lane_counts(shape.from_e) : 0;
    __m128i values[4];
    __m128i exponent_values[4];
    for (int n = 0; n < 4; ++n) {
        // From the point on, each byte of the mantissa takes the digit after it, which squeezes
        // the point out and brings a 0 in last; the power of ten to divide by is the count of
        // bytes from the point on, and, with an exponent, of the bytes from the e on, which are
        // 0 among the digits.
        const __m128i digit_values = _mm_sub_epi8(x[n], _mm_set1_epi8('0'));
        const __m128i v = _mm_and_si128(
            digit_values, byte_mask(static_cast<unsigned>(shape.mantissa_digits >> (16 * n))));
        const __m128i from_point =
            byte_mask(static_cast<unsigned>(shape.from_point >> (16 * n)) & 0xFFFF);
        values[n] = _mm_or_si128(_mm_andnot_si128(from_point, v),
                                 _mm_and_si128(from_point, _mm_srli_si128(v, 1)));
        four.exponent[n] =
            -static_cast<std::int32_t>(((point_counts + e_counts) >> (16 * n)) & 0xFFFF);
        if constexpr (exponents) {
            exponent_values[n] = _mm_and_si128(
                digit_values, byte_mask(static_cast<unsigned>(shape.exponent_digits >> (16 * n))));
        }
    }
    for (int h = 0; h < 2; ++h) {
        four.digits[h] = two_values(values[2 * h], values[2 * h + 1]);
        if constexpr (exponents) {
            const __m128i weighted =
                two_exponents(exponent_values[2 * h], exponent_values[2 * h + 1]);
            const std::int32_t magnitude[2] = {_mm_cvtsi128_si32(_mm_srli_si128(weighted, 4)),
                                               _mm_cvtsi128_si32(_mm_srli_si128(weighted, 12))};
            for (int n = 2 * h; n < 2 * h + 2; ++n) {
                const auto minus =
                    static_cast<std::int32_t>((shape.minus_exponent >> (16 * n + 15)) & 1);
                // Negated without a branch: the sign is as likely one way as the other.
                four.exponent[n] += (magnitude[n - 2 * h] ^ -minus) + minus;
            }
        }
    }
    four.ok = shape.ok;
    four.negative = shape.negative;
    four.with_exponent = shape.with_exponent;
    if constexpr (exponents) {
        // The words, as x86/group_shape.h finds them; each has an n, which numbers have not.
        if ((own & mask_of(lowered, 'n')) != 0) [[unlikely]] {
            const auto matched = [&](int low_dword, int high_dword) {
                const __m128i pattern = _mm_setr_epi32(0, 0, low_dword, high_dword);
                std::uint64_t mask = 0;
                for (int i = 0; i < 4; ++i) {
                    mask |= std::uint64_t{static_cast<std::uint16_t>(
                                _mm_movemask_epi8(_mm_cmpeq_epi8(lowered[i], pattern)))}
                            << (16 * i);
                }
                return mask;
            };
            lanes_with_words(bytes, shape, matched, four.nan, four.infinity);
        }
    }
    return four;
}

// Exactly the double of each of the two integers below 2^64 in the 64-bit lanes of v, as the
// AVX2 set's to_doubles makes them: 2^84 + upper × 2^32 and 2^52 + lower are doubles exactly,
// the first less 2^84 + 2^52 exactly; adding the second rounds once.
[[gnu::always_inline]] inline __m128d to_doubles(__m128i v) noexcept {
    const __m128i high = _mm_or_si128(_mm_srli_epi64(v, 32), _mm_set1_epi64x(0x4530000000000000));
    const __m128i low = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi64x(0xFFFFFFFF)),
                                     _mm_set1_epi64x(0x4330000000000000));
    return _mm_add_pd(_mm_sub_pd(_mm_castsi128_pd(high),
                                 _mm_set1_pd(19342813118337666422669312.0)),  // 2^84 + 2^52
                      _mm_castsi128_pd(low));
}

// All ones in 64-bit lane i where bit i of `bits` is set, for i 0 and 1.
[[gnu::always_inline]] inline __m128i qword_mask(unsigned bits) noexcept {
    return _mm_set_epi64x(-static_cast<long long>((bits >> 1) & 1),
                          -static_cast<long long>(bits & 1));
}

// Stores the two values of v at out, each negated where bit 0 or 1 of `negative` is set.
[[gnu::always_inline]] inline void store_signed(double* out, __m128d v,
                                                unsigned negative) noexcept {
    const __m128i sign = _mm_and_si128(qword_mask(negative), _mm_set1_epi64x(INT64_MIN));
    _mm_storeu_pd(out, _mm_castsi128_pd(_mm_or_si128(_mm_castpd_si128(v), sign)));
}

// The exponents of e or E, a sign and two digits that end the four numbers ends[i], in 32-bit
// lanes, as two_digit_exponent_of (generic/exponent_tail.h) reads one; `wrong` gets lanes
// other than 0 where a number does not end so.
[[gnu::always_inline]] inline __m128i exponent_lanes(const char* const* ends,
                                                     __m128i& wrong) noexcept {
    const auto last_four = [&](int i) { return static_cast<int>(load_le32(ends[i] - 4)); };
    const __m128i left = _mm_sub_epi32(
        _mm_or_si128(_mm_setr_epi32(last_four(0), last_four(1), last_four(2), last_four(3)),
                     _mm_set1_epi32(0x20)),
        _mm_set1_epi32(0x30302B65));
    wrong = _mm_or_si128(
        _mm_and_si128(left, _mm_set1_epi32(0xFDFF)),
        _mm_and_si128(_mm_or_si128(_mm_add_epi32(left, _mm_set1_epi32(0x76760000)), left),
                      _mm_set1_epi32(static_cast<int>(0x80800000))));
    // Ten times byte 2 and byte 3, the digits' values; negated where byte 1 is 2, a '-'.
    const __m128i tens = _mm_and_si128(_mm_srli_epi32(left, 16), _mm_set1_epi32(0xFF));
    const __m128i magnitude = _mm_add_epi32(
        _mm_add_epi32(_mm_slli_epi32(tens, 3), _mm_slli_epi32(tens, 1)), _mm_srli_epi32(left, 24));
    const __m128i minus =
        _mm_cmpeq_epi32(_mm_and_si128(left, _mm_set1_epi32(0x200)), _mm_set1_epi32(0x200));
    return _mm_sub_epi32(_mm_xor_si128(magnitude, minus), minus);
}

// The exponents of such tails that end the four numbers [at[i], ends[i]) into exponents[i],
// for the plain scanners of numbers among which %g writes some with exponents; returns a bit i
// for each number that ends so and is longer than its exponent. (In memory, %.15g read about
// 6% faster than with two_digit_exponent_of for each.)
[[gnu::always_inline]] inline unsigned four_tails(const char* const* at, const char* const* ends,
                                                  std::int32_t* exponents) noexcept {
    __m128i wrong;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(exponents), exponent_lanes(ends, wrong));
    unsigned long_ones = 0;
    for (int i = 0; i < 4; ++i)
        long_ones |= static_cast<unsigned>(ends[i] - at[i] > 4) << i;
    return long_ones & static_cast<unsigned>(_mm_movemask_ps(
                           _mm_castsi128_ps(_mm_cmpeq_epi32(wrong, _mm_setzero_si128()))));
}

// read_eight's way for eight decimals with the point in one place from the end (shape), each of
// at most 8 bytes, as %.2f writes prices: two to a vector, each in a 64-bit lane, its bytes the
// lane's last. Each lane is squeezed from the point on by a shift of the lane, which brings in
// a 0, and its digits, ten times them, below 10^8, are summed as one group of eight: one 32-bit
// integer, a double exactly, and one division, rounded once. Out of line: inlined, it made the
// code of read_eight's other ways worse (in memory, %.6f read about 5% slower).
[[gnu::noinline]] inline void read_eight_short_fixed_points(const four_lanes* quarters,
                                                            const fixed_points& shape,
                                                            double* values) noexcept {
    const int place = shape.place;
    const __m128d power = _mm_set1_pd(exact_powers_of_ten[16 - place]);
    const __m128i from_point =
        _mm_cmpgt_epi8(_mm_setr_epi8(8, 9, 10, 11, 12, 13, 14, 15, 8, 9, 10, 11, 12, 13, 14, 15),
                       _mm_set1_epi8(static_cast<char>(place - 1)));
    const __m128i zero = _mm_setzero_si128();
    for (int pair = 0; pair < 4; ++pair) {
        const four_lanes& lanes = quarters[pair / 2];
        const int n = 2 * (pair % 2);
        const std::uint64_t signs = shape.signs[pair / 2] >> (16 * n);
        // Each number's bytes but its sign, in its lane's last bytes.
        const auto kept = [&](int k) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                last_bytes + lanes.lengths[n + k] - (((signs >> (16 * k)) & 0xFFFF) != 0 ? 1 : 0)));
        };
        const __m128i v = _mm_and_si128(
            _mm_sub_epi8(_mm_unpackhi_epi64(lanes.x[n], lanes.x[n + 1]), _mm_set1_epi8('0')),
            _mm_unpackhi_epi64(kept(0), kept(1)));
        const __m128i squeezed = _mm_or_si128(_mm_andnot_si128(from_point, v),
                                              _mm_and_si128(from_point, _mm_srli_epi64(v, 8)));
        const __m128i tens = _mm_set1_epi32(0x0001000A);
        const __m128i pairs =
            _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(squeezed, zero), tens),
                            _mm_madd_epi16(_mm_unpackhi_epi8(squeezed, zero), tens));
        const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
        const __m128i eights =
            _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(0x00012710));
        const __m128d scaled = _mm_div_pd(_mm_cvtepi32_pd(eights), power);
        const unsigned negative = lane_bits<16>(lanes_with_any<16>(shape.signs[pair / 2]));
        store_signed(values + 2 * pair, scaled, negative >> (2 * (pair % 2)));
    }
}

// Reads the eight numbers [at[i], ends[i]) that have read_four's shape into values[i], and
// returns a bit i for each, and bit 8 + i for each of those that has an exponent; values[i] of
// the others is left undefined. Reads 16 bytes before each end. With `exponents`, it reads
// the words too. With `tails`, each number ends in e or E, a sign and two digits, its
// exponent, and is read as its mantissa, the bytes before them, of the plain shape and at most
// 15 bytes, times 10^exponent; it returns tails_refused, having read nothing, where one of the
// eight does not end so. It then reads 20 bytes before each end.
//
// Exact: the digits v where they stand, times 10^t, are read as v × 10^t or v / 10^-t, with
// |t| <= 22, which is one IEEE operation, rounded once to nearest, when v is a double.
//  - With no exponent, v is below 10^16 < 2^54: as the AVX-512 set's reader shows, it is
//    rounded once to the nearest double when t = 0, and is an even integer below 2^54, a
//    double, when there is a point.
//  - With an exponent, v is m × 10^(p + k): m the mantissa's d digits, p 1 for a point, and k
//    for the e and the 1 to 3 bytes after it, so k >= 2 and d + p + k <= 16. Then v is a
//    double, for m × 5^(p + k) < 10^d × 5^(16 - d) = 2^d × 5^16 <= 2^14 × 5^16 < 2^52, and v
//    is that times 2^(p + k).
//  - With a tail, v is the mantissa's digits, at most 15, or 10 times them, at most 14, with
//    a point: below 10^15 < 2^53, a double.
template <bool exponents, bool tails = false>
[[gnu::always_inline]] inline unsigned read_eight(const char* const* at, const char* const* ends,
                                                  double* values) noexcept {
    __m128i tail[2];
    if constexpr (tails) {
        __m128i wrong[2];
        tail[0] = exponent_lanes(ends, wrong[0]);
        tail[1] = exponent_lanes(ends + 4, wrong[1]);
        if (_mm_movemask_epi8(
                _mm_cmpeq_epi32(_mm_or_si128(wrong[0], wrong[1]), _mm_setzero_si128())) != 0xFFFF) {
            return tails_refused;
        }
    }
    unsigned ok = 0;
    unsigned negative = 0;
    unsigned with_exponent = 0;
    unsigned nan = 0;
    unsigned infinity = 0;
    alignas(16) std::int32_t magnitudes[8];  // |t|, where at most 22
    __m128i up[4];                           // all ones in a pair's 64-bit lane where t > 0
    __m128i digits[4];
    // With a tail, the mantissas: the bytes before the last four, at most 15.
    constexpr int cut = tails ? 4 : 0;
    constexpr int longest = tails ? 15 : 16;
    const four_lanes quarters[2] = {lanes_of<cut, longest>(at, ends),
                                    lanes_of<cut, longest>(at + 4, ends + 4)};
    if constexpr (!exponents && !tails) {
        // Eight integers, the commonest numbers, are read by a shorter way, where every byte of
        // each is a digit (of which each has one, as every number found has a byte): each the
        // double nearest to its digits' value, with no power of ten and no sign.
        if (((quarters[0].own & ~quarters[0].digits) | (quarters[1].own & ~quarters[1].digits)) ==
            0) {
            for (int pair = 0; pair < 4; ++pair) {
                const four_lanes& lanes = quarters[pair / 2];
                __m128i kept[2];
                for (int k = 0; k < 2; ++k) {
                    const std::uint64_t length = lanes.lengths[2 * (pair % 2) + k];
                    kept[k] =
                        _mm_and_si128(_mm_sub_epi8(lanes.x[2 * (pair % 2) + k], _mm_set1_epi8('0')),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                          last_bytes + (length < 16 ? length : 16))));
                }
                _mm_storeu_pd(values + 2 * pair, to_doubles(two_values(kept[0], kept[1])));
            }
            return quarters[0].fit | quarters[1].fit << 4;
        }
        // Eight decimals with the point in one place from the end, as %.Nf writes them, an
        // optional '-' first, as the AVX2 set's reader reads them: the bytes from the point on,
        // and the power of ten, are one for all.
        fixed_points shape;
        if (fixed_point_shape(
                quarters[0], quarters[1],
                [](const four_lanes& lanes) { return mask_of(lanes.x, '.'); },
                [](const four_lanes& lanes) { return mask_of(lanes.x, '-'); }, shape)) {
            const int place = shape.place;
            if (((quarters[0].own | quarters[1].own) & 0x00FF00FF00FF00FF) == 0) {
                read_eight_short_fixed_points(quarters, shape, values);
                return 0xFF;
            }
            // v is ten times the digits, below 10^16 and even, a double, and 10^(16 - place),
            // at most 10^16, is one too: one division, rounded once.
            const __m128i from_point =
                _mm_cmpgt_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                               _mm_set1_epi8(static_cast<char>(place - 1)));
            const __m128d power = _mm_set1_pd(exact_powers_of_ten[16 - place]);
            for (int pair = 0; pair < 4; ++pair) {
                const four_lanes& lanes = quarters[pair / 2];
                __m128i kept[2];
                for (int k = 0; k < 2; ++k) {
                    // The number's bytes but its sign; the point's is overwritten below.
                    const int n = 2 * (pair % 2) + k;
                    const std::uint64_t kept_bytes =
                        lanes.lengths[n] -
                        (((shape.signs[pair / 2] >> (16 * n)) & 0xFFFF) != 0 ? 1 : 0);
                    const __m128i v = _mm_and_si128(
                        _mm_sub_epi8(lanes.x[n], _mm_set1_epi8('0')),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(last_bytes + kept_bytes)));
                    kept[k] = _mm_or_si128(_mm_andnot_si128(from_point, v),
                                           _mm_and_si128(from_point, _mm_srli_si128(v, 1)));
                }
                const __m128d scaled = _mm_div_pd(to_doubles(two_values(kept[0], kept[1])), power);
                const unsigned negative = lane_bits<16>(lanes_with_any<16>(shape.signs[pair / 2]));
                store_signed(values + 2 * pair, scaled, negative >> (2 * (pair % 2)));
            }
            return 0xFF;
        }
    }
    for (int quarter = 0; quarter < 2; ++quarter) {
        const four_numbers four = read_four<exponents>(quarters[quarter]);
        digits[2 * quarter] = four.digits[0];
        digits[2 * quarter + 1] = four.digits[1];
        // The four at once: |t| from the sign's mask, and whether 10^|t| is a double.
        __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(four.exponent));
        if constexpr (tails) {
            t = _mm_add_epi32(t, tail[quarter]);
        }
        const __m128i sign = _mm_srai_epi32(t, 31);
        const __m128i magnitude = _mm_sub_epi32(_mm_xor_si128(t, sign), sign);
        const __m128i in_range = _mm_cmpgt_epi32(_mm_set1_epi32(23), magnitude);
        _mm_store_si128(reinterpret_cast<__m128i*>(magnitudes + 4 * quarter),
                        _mm_and_si128(magnitude, in_range));
        const __m128i positive = _mm_cmpgt_epi32(t, _mm_setzero_si128());
        up[2 * quarter] = _mm_unpacklo_epi32(positive, positive);
        up[2 * quarter + 1] = _mm_unpackhi_epi32(positive, positive);
        ok |= (four.ok & static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(in_range))))
              << 4 * quarter;
        negative |= four.negative << 4 * quarter;
        with_exponent |= four.with_exponent << 4 * quarter;
        if constexpr (exponents) {
            nan |= four.nan << 4 * quarter;
            infinity |= four.infinity << 4 * quarter;
        }
    }
    for (int pair = 0; pair < 4; ++pair) {
        const __m128d d = to_doubles(digits[pair]);
        const __m128d powers = _mm_setr_pd(exact_powers_of_ten[magnitudes[2 * pair]],
                                           exact_powers_of_ten[magnitudes[2 * pair + 1]]);
        __m128d scaled = _mm_div_pd(d, powers);
        if constexpr (exponents || tails) {
            const __m128d times = _mm_castsi128_pd(up[pair]);
            scaled =
                _mm_or_pd(_mm_andnot_pd(times, scaled), _mm_and_pd(times, _mm_mul_pd(d, powers)));
        }
        store_signed(values + 2 * pair, scaled, negative >> (2 * pair));
    }
    if constexpr (exponents) {
        // The words are rare among numbers: set one by one.
        for (unsigned words = nan | infinity; words != 0; words &= words - 1) {
            const int i = std::countr_zero(words);
            const double word = ((nan >> i) & 1) != 0 ? std::numeric_limits<double>::quiet_NaN()
                                                      : std::numeric_limits<double>::infinity();
            values[i] = ((negative >> i) & 1) != 0 ? -word : word;
        }
    }
    ok |= nan | infinity;
    if constexpr (tails) with_exponent = 0xFF;
    return ok | (with_exponent & ok) << 8;
}
