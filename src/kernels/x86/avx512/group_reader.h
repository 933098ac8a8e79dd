// The AVX-512 set's group reader: short numbers eight at a time. Included by its file inside
// its target region, after x86/lanes.h.

// In both 64-bit halves of each lane: how many of the lane's bytes `bits` marks.
[[gnu::always_inline]] inline __m512i lane_counts(std::uint64_t bits) noexcept {
    const __m512i halves = _mm512_sad_epu8(_mm512_maskz_set1_epi8(bits, 1), _mm512_setzero_si512());
    return _mm512_add_epi64(halves, _mm512_maskz_shuffle_epi32(0xFFFF, halves, _MM_PERM_BADC));
}

// Short numbers are read four to a vector, one in each 128-bit lane, and eight at a time: the
// bytes of a number of up to 16 end in the last byte of its lane, so that its digits' places
// are the lanes' places, and every step below is taken for all of them at once. The shape read
// is scan_plain's (an optional '-', digits, at most one point), with a leading '+' too, in 16
// bytes; where the data has exponents, also an exponent of 1 to 3 digits with an optional
// sign, as %e writes them.

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

// Each lane's digit values (0 to 9, the most significant first) as an integer in its low 64
// bits: summed in pairs, fours and eights as eight_digit_groups does, then the lane's two
// eights joined.
[[gnu::always_inline]] inline __m512i lane_values(__m512i values) noexcept {
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x010A));
    const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010064));
    const __m512i eights =
        _mm512_madd_epi16(_mm512_packus_epi32(fours, fours), _mm512_set1_epi32(0x00012710));
    return _mm512_add_epi64(_mm512_maskz_mul_epu32(0xFF, eights, _mm512_set1_epi64(100000000)),
                            _mm512_maskz_srli_epi64(0xFF, eights, 32));
}

// The index of a byte permute by which byte i of each 256-bit half takes byte i - 1 of the
// half (byte 0, its own): the readers of longer numbers, one to a half, squeeze out a point so.
[[gnu::always_inline]] inline __m512i bytes_before() noexcept {
    return _mm512_set_epi8(62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45,
                           44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 32, 30, 29, 28, 27,
                           26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8,
                           7, 6, 5, 4, 3, 2, 1, 0, 0);
}

// The values of eight numbers' digits, from the lane_values of four vectors that hold two
// numbers each, one to a 256-bit half, each with its last digit in the half's last byte and at
// most 20 digits: a half's first 128-bit lane holds at most its first 4, the second the last
// 16; those two parts go to `firsts` and `lasts`. Where 20 digits do not fit 64 bits, the value
// wraps.
[[gnu::always_inline]] inline __m512i eight_values(const __m512i* sums, __m512i& firsts,
                                                   __m512i& lasts) noexcept {
    const __m512i firsts_lasts_0 =
        _mm512_permutex2var_epi64(sums[0], _mm512_set_epi64(14, 10, 6, 2, 12, 8, 4, 0), sums[1]);
    const __m512i firsts_lasts_1 =
        _mm512_permutex2var_epi64(sums[2], _mm512_set_epi64(14, 10, 6, 2, 12, 8, 4, 0), sums[3]);
    firsts = _mm512_permutex2var_epi64(firsts_lasts_0, _mm512_set_epi64(11, 10, 9, 8, 3, 2, 1, 0),
                                       firsts_lasts_1);
    lasts = _mm512_permutex2var_epi64(firsts_lasts_0, _mm512_set_epi64(15, 14, 13, 12, 7, 6, 5, 4),
                                      firsts_lasts_1);
    return _mm512_add_epi64(_mm512_mullo_epi64(firsts, _mm512_set1_epi64(10000000000000000)),
                            lasts);
}

// Each byte's place in its 128-bit lane, 0 to 15.
[[gnu::always_inline]] inline __m512i byte_places() noexcept {
    return _mm512_set4_epi32(0x0F0E0D0C, 0x0B0A0908, 0x07060504, 0x03020100);
}

// The 16 bytes that end at each of four numbers' ends less `cut`, one in each 128-bit lane,
// with the masks of the numbers' own bytes and of the digits, and which of the numbers have
// at most `longest` bytes.
struct four_lanes {
    __m512i x;
    std::uint64_t own;
    std::uint64_t digits;
    unsigned fit;
};
template <int cut, int longest>
[[gnu::always_inline]] inline four_lanes lanes_of(const char* const* at,
                                                  const char* const* ends) noexcept {
    const auto last16 = [](const char* end) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - cut - 16));
    };
    __m512i x = _mm512_zextsi128_si512(last16(ends[0]));
    x = _mm512_inserti32x4(x, last16(ends[1]), 1);
    x = _mm512_inserti32x4(x, last16(ends[2]), 2);
    x = _mm512_inserti32x4(x, last16(ends[3]), 3);
    const __m256i lengths =
        _mm256_sub_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ends)),
                         _mm256_add_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                                          _mm256_set1_epi64x(cut)));
    // Each number's length (its low byte, which is all of it when it fits) in every byte of its
    // lane; the number's own bytes are the lanes' last `length`.
    const __m512i lane_lengths =
        _mm512_shuffle_epi8(_mm512_maskz_permutexvar_epi64(
                                0xFF, _mm512_set_epi64(3, 3, 2, 2, 1, 1, 0, 0),
                                _mm512_maskz_inserti64x4(0xFF, _mm512_setzero_si512(), lengths, 0)),
                            _mm512_setzero_si512());
    const __m512i places = byte_places();
    return {x, _mm512_cmpgt_epu8_mask(_mm512_add_epi8(lane_lengths, places), _mm512_set1_epi8(15)),
            _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(9)),
            _mm256_cmple_epu64_mask(lengths, _mm256_set1_epi64x(longest))};
}

// The four numbers of `lanes`.
template <bool exponents>
[[gnu::always_inline]] inline four_numbers read_four(const four_lanes& lanes) noexcept {
    const __m512i x = lanes.x;
    const std::uint64_t own = lanes.own;
    const unsigned fit = lanes.fit;
    const __m512i places = byte_places();
    four_numbers four{};
    group_bytes bytes{own,
                      lanes.digits,
                      _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('.')),
                      _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-')),
                      0,
                      0,
                      fit};
    bytes.signs = bytes.minus | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('+'));
    if constexpr (exponents) {
        bytes.es = _mm512_cmpeq_epi8_mask(_mm512_or_si512(x, _mm512_set1_epi8(0x20)),
                                          _mm512_set1_epi8('e'));
    }
    const group_shape shape = shape_of_group<exponents>(bytes);
    const std::uint64_t from_point = shape.from_point;
    // From the point on, each byte of the mantissa takes the digit after it: the point is
    // squeezed out and a 0 comes in last, so the mantissa's value is ten times its digits',
    // and the power of ten to divide by is the count of bytes from the point on, one more than
    // the digits after the point.
    __m512i values = _mm512_maskz_sub_epi8(shape.mantissa_digits, x, _mm512_set1_epi8('0'));
    values = _mm512_mask_blend_epi8(from_point, values, _mm512_bsrli_epi128(values, 1));
    __m512i exponent = _mm512_sub_epi64(_mm512_setzero_si512(), lane_counts(from_point));
    if constexpr (exponents) {
        // The mantissa moved to the end of its lane, past the exponent's bytes.
        const __m512i shift =
            _mm512_shuffle_epi8(lane_counts(shape.from_e), _mm512_setzero_si512());
        values = _mm512_shuffle_epi8(values, _mm512_sub_epi8(places, shift));
        // The exponent's digits are the lane's last three at most: 100, 10 and 1 times each.
        const __m512i exponent_values =
            _mm512_maskz_sub_epi8(shape.exponent_digits, x, _mm512_set1_epi8('0'));
        const __m512i weighted = _mm512_madd_epi16(
            _mm512_maddubs_epi16(exponent_values, _mm512_set4_epi32(0x010A6400, 0, 0, 0)),
            _mm512_set1_epi16(1));
        const __m512i magnitude = _mm512_maskz_shuffle_epi32(0x1111, weighted, _MM_PERM_DDDD);
        const auto negative_exponent =
            static_cast<__mmask8>(_pdep_u32(lane_bits<16>(shape.minus_exponent), 0x55));
        exponent = _mm512_add_epi64(
            exponent,
            _mm512_mask_sub_epi64(magnitude, negative_exponent, _mm512_setzero_si512(), magnitude));
    }
    four.digits = lane_values(values);
    four.exponent = exponent;
    four.ok = shape.ok;
    four.negative = shape.negative;
    four.with_exponent = shape.with_exponent;
    if constexpr (exponents) {
        // The words, as x86/group_shape.h finds them; each has an n, which numbers have not.
        const __m512i lowered = _mm512_or_si512(x, _mm512_set1_epi8(0x20));
        if ((own & _mm512_cmpeq_epi8_mask(lowered, _mm512_set1_epi8('n'))) != 0) [[unlikely]] {
            const auto matched = [&](int low_dword, int high_dword) {
                return _mm512_cmpeq_epi8_mask(lowered,
                                              _mm512_set4_epi32(high_dword, low_dword, 0, 0));
            };
            lanes_with_words(bytes, shape, matched, four.nan, four.infinity);
        }
    }
    return four;
}

// Reads the eight numbers [at[i], ends[i]) that have read_four's shape into values[i], and
// returns a bit i for each, and bit 8 + i for each of those that has an exponent; values[i] of
// the others is left undefined. Reads 16 bytes before each end. With `exponents`, it reads
// the words too. With `tails`, each number ends in e or E, a sign and two digits, its
// exponent, and is read as its mantissa, the bytes before them, of the plain shape and at most
// 15 bytes, times 10^exponent; it returns tails_refused, having read nothing, where one of the
// eight does not end so. It then reads 20 bytes before each end.
//
// Exact: the digits v, times 10^t, are read as v × 10^t or v / 10^-t, with |t| <= 22.
//  - With no exponent, v is below 10^16 < 2^54. Without a point, t = 0 and v × 1 is v rounded
//    once to the nearest double. With one, v is ten times the digits, an even integer, and
//    every even integer below 2^54 is a double.
//  - With an exponent, the mantissa has at most 14 bytes, so v < 10^14 is a double. With a
//    tail, it has at most 15: v is 15 digits, or 10 times 14 with a point, below 10^15 <
//    2^53, a double. (A 16-digit mantissa may not be: read whole, then scaled, it would be
//    rounded twice.)
// 10^|t| is a double too, so the product or quotient is one IEEE operation, rounded once to
// nearest: the double nearest to the number, which the scalar reader gives too.
template <bool exponents, bool tails = false>
[[gnu::always_inline]] inline unsigned read_eight(const char* const* at, const char* const* ends,
                                                  double* values) noexcept {
    __m256i tail = _mm256_setzero_si256();
    if constexpr (tails) {
        if (!exponent_lanes(ends, tail)) return tails_refused;
    }
    // With a tail, the mantissas: the bytes before the last four, at most 15.
    constexpr int cut = tails ? 4 : 0;
    constexpr int longest = tails ? 15 : 16;
    const four_lanes first = lanes_of<cut, longest>(at, ends);
    const four_lanes second = lanes_of<cut, longest>(at + 4, ends + 4);
    const __m512i pick = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
    if constexpr (!exponents && !tails) {
        // Eight integers, the commonest numbers, are read by a shorter way, where every byte of
        // each is a digit (of which each has one, as every number found has a byte): each the
        // double nearest to its digits' value, with no power of ten and no sign.
        if (((first.own & ~first.digits) | (second.own & ~second.digits)) == 0) {
            const __m512i first_values =
                lane_values(_mm512_maskz_sub_epi8(first.own, first.x, _mm512_set1_epi8('0')));
            const __m512i second_values =
                lane_values(_mm512_maskz_sub_epi8(second.own, second.x, _mm512_set1_epi8('0')));
            _mm512_storeu_pd(values, _mm512_cvtepu64_pd(_mm512_permutex2var_epi64(
                                         first_values, pick, second_values)));
            return first.fit | second.fit << 4;
        }
        // Eight decimals with the point in one place from the end, as %.Nf writes them, an
        // optional '-' first, as the AVX2 set's reader reads them: the bytes from the point on,
        // and the power of ten, are one for all.
        fixed_points shape;
        if (fixed_point_shape(
                first, second,
                [](const four_lanes& lanes) {
                    return _mm512_cmpeq_epi8_mask(lanes.x, _mm512_set1_epi8('.'));
                },
                [](const four_lanes& lanes) {
                    return _mm512_cmpeq_epi8_mask(lanes.x, _mm512_set1_epi8('-'));
                },
                shape)) {
            const int place = shape.place;
            // v is ten times the digits, below 10^16 and even, a double, and 10^(16 - place),
            // at most 10^16, is one too: one division, rounded once.
            const std::uint64_t from_point = first_bits<16> * ((0xFFFF << place) & 0xFFFF);
            const __m512i first_values =
                _mm512_maskz_sub_epi8(first.own & first.digits, first.x, _mm512_set1_epi8('0'));
            const __m512i second_values =
                _mm512_maskz_sub_epi8(second.own & second.digits, second.x, _mm512_set1_epi8('0'));
            const __m512d digits = _mm512_cvtepu64_pd(_mm512_permutex2var_epi64(
                lane_values(_mm512_mask_blend_epi8(from_point, first_values,
                                                   _mm512_bsrli_epi128(first_values, 1))),
                pick,
                lane_values(_mm512_mask_blend_epi8(from_point, second_values,
                                                   _mm512_bsrli_epi128(second_values, 1)))));
            const __m512d scaled =
                _mm512_div_pd(digits, _mm512_set1_pd(exact_powers_of_ten[16 - place]));
            const unsigned negative = lane_bits<16>(lanes_with_any<16>(shape.signs[0])) |
                                      lane_bits<16>(lanes_with_any<16>(shape.signs[1])) << 4;
            _mm512_storeu_si512(
                values,
                _mm512_mask_or_epi64(_mm512_castpd_si512(scaled), static_cast<__mmask8>(negative),
                                     _mm512_castpd_si512(scaled), _mm512_set1_epi64(INT64_MIN)));
            return 0xFF;
        }
    }
    const four_numbers low = read_four<exponents>(first);
    const four_numbers high = read_four<exponents>(second);
    const __m512d digits =
        _mm512_cvtepu64_pd(_mm512_permutex2var_epi64(low.digits, pick, high.digits));
    __m512i exponent = _mm512_permutex2var_epi64(low.exponent, pick, high.exponent);
    if constexpr (tails) {
        exponent = _mm512_add_epi64(exponent, _mm512_maskz_cvtepi32_epi64(0xFF, tail));
    }
    const __m512i magnitude = _mm512_maskz_abs_epi64(0xFF, exponent);
    __m512d powers = _mm512_permutex2var_pd(_mm512_loadu_pd(exact_powers_of_ten), magnitude,
                                            _mm512_loadu_pd(exact_powers_of_ten + 8));
    __m512d scaled;
    unsigned ok = low.ok | high.ok << 4;
    if constexpr (exponents || tails) {
        powers = _mm512_mask_permutexvar_pd(
            powers, _mm512_cmpge_epu64_mask(magnitude, _mm512_set1_epi64(16)), magnitude,
            _mm512_maskz_loadu_pd(0x7F, exact_powers_of_ten + 16));
        scaled = _mm512_mask_mul_pd(_mm512_div_pd(digits, powers),
                                    _mm512_cmpgt_epi64_mask(exponent, _mm512_setzero_si512()),
                                    digits, powers);
        ok &= _mm512_cmple_epu64_mask(magnitude, _mm512_set1_epi64(22));
    } else {
        scaled = _mm512_div_pd(digits, powers);
    }
    if constexpr (exponents) {
        // The words, as the scalar reader gives them: the quiet NaN and infinity, signed.
        const unsigned nan = low.nan | high.nan << 4;
        const unsigned infinity = low.infinity | high.infinity << 4;
        scaled = _mm512_mask_mov_pd(scaled, nan,
                                    _mm512_set1_pd(std::numeric_limits<double>::quiet_NaN()));
        scaled = _mm512_mask_mov_pd(scaled, infinity,
                                    _mm512_set1_pd(std::numeric_limits<double>::infinity()));
        ok |= nan | infinity;
    }
    const __m512i signed_values =
        _mm512_mask_or_epi64(_mm512_castpd_si512(scaled), low.negative | high.negative << 4,
                             _mm512_castpd_si512(scaled), _mm512_set1_epi64(INT64_MIN));
    _mm512_storeu_si512(values, signed_values);
    if constexpr (tails) return ok | ok << 8;
    return ok | ((low.with_exponent | high.with_exponent << 4) & ok) << 8;
}
