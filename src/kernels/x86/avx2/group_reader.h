// The AVX2 set's group reader: short numbers eight at a time, two to a vector, one in each
// 128-bit lane, in the manner of the AVX-512 set's (x86/avx512/group_reader.h, which has the
// proof of exactness): the bytes of a number of up to 16 end in the last byte of its lane, so
// that its digits' places are the lanes' places. AVX2 has no mask registers, so the classes of
// the bytes of two vectors are joined from movemask into the masks that x86/group_shape.h
// reads, and turned back into byte masks where a vector step needs them. Included by the set's
// file inside its target region, after x86/lanes.h and x86/group_shape.h.

// The byte mask of a bit mask: lane i all ones where bit i of `bits` is set.
[[gnu::always_inline]] inline __m256i byte_mask(std::uint64_t bits) noexcept {
    const __m256i spread = _mm256_shuffle_epi8(
        _mm256_set1_epi32(static_cast<int>(bits)),
        _mm256_setr_epi64x(0, 0x0101010101010101, 0x0202020202020202, 0x0303030303030303));
    const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

// Movemask of two byte comparisons, in one mask as x86/group_shape.h reads it: bits 0 to 31
// from the first, 32 to 63 from the second.
[[gnu::always_inline]] inline std::uint64_t mask_of(__m256i low, __m256i high) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}
[[gnu::always_inline]] inline __m256i equal(__m256i x, char byte) noexcept {
    return _mm256_cmpeq_epi8(x, _mm256_set1_epi8(byte));
}
[[gnu::always_inline]] inline __m256i is_digit(__m256i x) noexcept {
    const __m256i d = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
    return _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d);
}

// Each byte's place in its 128-bit lane, 0 to 15.
[[gnu::always_inline]] inline __m256i byte_places() noexcept {
    return _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5,
                            6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// The 16 bytes that end `cut` bytes before each of two numbers' ends, one in each 128-bit lane.
template <int cut>
[[gnu::always_inline]] inline __m256i lanes_ending_at(const char* const* ends) noexcept {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends[0] - cut - 16))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends[1] - cut - 16)), 1);
}

// What four numbers' lanes hold after the reading: bits 0 to 3 for the numbers.
struct four_numbers {
    __m256i digits[2];         // numbers 2 h and 2 h + 1 in digits[h]'s 64-bit lanes 0 and 2: the
                               // digits as an integer, times 10 when there is a point
    std::int32_t exponent[4];  // the power of ten t, the number being digits × 10^t
    unsigned ok;
    unsigned negative;
    unsigned with_exponent;
    unsigned nan = 0;
    unsigned infinity = 0;
};

// The digits of two lanes' values (0 to 9, the most significant first), as integers in the
// 64-bit lanes 0 and 2: summed in pairs, fours and eights, then the two eights of each lane
// joined.
[[gnu::always_inline]] inline __m256i lane_values(__m256i values) noexcept {
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi16(0x010A));
    const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
    const __m256i eights =
        _mm256_madd_epi16(_mm256_packus_epi32(fours, fours), _mm256_set1_epi32(0x00012710));
    return _mm256_add_epi64(_mm256_mul_epu32(eights, _mm256_set1_epi64x(100000000)),
                            _mm256_srli_epi64(eights, 32));
}

// The 16 bytes that end at each of four numbers' ends less `cut`, two to a vector, one in each
// 128-bit lane, with the byte masks of the numbers' own bytes, the bit masks of those and of
// the digits, and which of the numbers have at most `longest` bytes.
struct four_lanes {
    __m256i x[2];
    __m256i own_bytes[2];
    std::uint64_t own;
    std::uint64_t digits;
    unsigned fit;
};
template <int cut, int longest>
[[gnu::always_inline]] inline four_lanes lanes_of(const char* const* at,
                                                  const char* const* ends) noexcept {
    four_lanes lanes;
    lanes.x[0] = lanes_ending_at<cut>(ends);
    lanes.x[1] = lanes_ending_at<cut>(ends + 2);
    // The number's own bytes are its lane's last `length`: the bytes whose place plus the
    // length, at most 16, is 16 or more. (A length is far below 2^31, so the 32-bit minimum of
    // each half of its 64 bits is the minimum of the length.)
    const __m256i whole_lengths =
        _mm256_sub_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ends)),
                         _mm256_add_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                                          _mm256_set1_epi64x(cut)));
    lanes.fit = static_cast<unsigned>(_mm256_movemask_pd(
        _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(longest + 1), whole_lengths))));
    const __m256i lengths = _mm256_min_epi32(whole_lengths, _mm256_set1_epi64x(16));
    const __m256i places = byte_places();
    const auto own_bytes = [&](__m256i pair) {
        const __m256i spread = _mm256_shuffle_epi8(pair, _mm256_setzero_si256());
        return _mm256_cmpgt_epi8(_mm256_add_epi8(spread, places), _mm256_set1_epi8(15));
    };
    lanes.own_bytes[0] = own_bytes(_mm256_permute4x64_epi64(lengths, 0x50));
    lanes.own_bytes[1] = own_bytes(_mm256_permute4x64_epi64(lengths, 0xFA));
    lanes.own = mask_of(lanes.own_bytes[0], lanes.own_bytes[1]);
    lanes.digits = mask_of(is_digit(lanes.x[0]), is_digit(lanes.x[1]));
    return lanes;
}

// The four numbers of `lanes`, two to a vector, their masks joined so that x86/group_shape.h
// reads all four at once.
template <bool exponents>
[[gnu::always_inline]] inline four_numbers read_four(const four_lanes& lanes) noexcept {
    const __m256i* const x = lanes.x;
    const std::uint64_t own = lanes.own;
    const unsigned fit = lanes.fit;
    const __m256i places = byte_places();
    four_numbers four{};
    group_bytes bytes{own,
                      lanes.digits,
                      mask_of(equal(x[0], '.'), equal(x[1], '.')),
                      mask_of(equal(x[0], '-'), equal(x[1], '-')),
                      0,
                      0,
                      fit};
    bytes.signs = bytes.minus | mask_of(equal(x[0], '+'), equal(x[1], '+'));
    const __m256i lowered[2] = {_mm256_or_si256(x[0], _mm256_set1_epi8(0x20)),
                                _mm256_or_si256(x[1], _mm256_set1_epi8(0x20))};
    if constexpr (exponents) bytes.es = mask_of(equal(lowered[0], 'e'), equal(lowered[1], 'e'));
    const group_shape shape = shape_of_group<exponents>(bytes);

    for (int h = 0; h < 2; ++h) {
        // From the point on, each byte of the mantissa takes the digit after it, which squeezes
        // the point out; the power of ten to divide by is the count of bytes from the point on.
        const __m256i digit_values = _mm256_sub_epi8(x[h], _mm256_set1_epi8('0'));
        __m256i values =
            _mm256_and_si256(digit_values, byte_mask(shape.mantissa_digits >> (32 * h)));
        values = _mm256_blendv_epi8(values, _mm256_srli_si256(values, 1),
                                    byte_mask(shape.from_point >> (32 * h)));
        for (int n = 2 * h; n < 2 * h + 2; ++n)
            four.exponent[n] = -std::popcount((shape.from_point >> (16 * n)) & 0xFFFF);
        if constexpr (exponents) {
            // The mantissa moved to the end of its lane, past the exponent's bytes.
            const auto shift = [&](int n) {
                return static_cast<char>(std::popcount((shape.from_e >> (16 * n)) & 0xFFFF));
            };
            const __m256i shifts =
                _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi8(shift(2 * h))),
                                        _mm_set1_epi8(shift(2 * h + 1)), 1);
            values = _mm256_shuffle_epi8(values, _mm256_sub_epi8(places, shifts));
            // The exponent's digits are the lane's last three at most: 100, 10 and 1 times each.
            const __m256i weighted = _mm256_madd_epi16(
                _mm256_maddubs_epi16(
                    _mm256_and_si256(digit_values, byte_mask(shape.exponent_digits >> (32 * h))),
                    _mm256_setr_epi32(0, 0, 0, 0x010A6400, 0, 0, 0, 0x010A6400)),
                _mm256_set1_epi16(1));
            const std::int32_t magnitude[2] = {_mm256_extract_epi32(weighted, 3),
                                               _mm256_extract_epi32(weighted, 7)};
            for (int n = 2 * h; n < 2 * h + 2; ++n) {
                const auto minus =
                    static_cast<std::int32_t>((shape.minus_exponent >> (16 * n + 15)) & 1);
                // Negated without a branch: the sign is as likely one way as the other.
                four.exponent[n] += (magnitude[n - 2 * h] ^ -minus) + minus;
            }
        }
        four.digits[h] = lane_values(values);
    }
    four.ok = shape.ok;
    four.negative = shape.negative;
    four.with_exponent = shape.with_exponent;
    if constexpr (exponents) {
        // The words, as x86/group_shape.h finds them; each has an n, which numbers have not.
        if ((own & mask_of(equal(lowered[0], 'n'), equal(lowered[1], 'n'))) != 0) [[unlikely]] {
            const auto matched = [&](int low_dword, int high_dword) {
                const __m256i pattern =
                    _mm256_setr_epi32(0, 0, low_dword, high_dword, 0, 0, low_dword, high_dword);
                return mask_of(_mm256_cmpeq_epi8(lowered[0], pattern),
                               _mm256_cmpeq_epi8(lowered[1], pattern));
            };
            lanes_with_words(bytes, shape, matched, four.nan, four.infinity);
        }
    }
    return four;
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

// Eight decimals of up to 16 bytes with at most one point each, in any place, an optional '-'
// first (%.Nf of several N in turn), read as read_eight's fixed-point way reads them, but each
// number's bytes from its point on are its own (from_first_set), and so is its power of ten,
// 10 to the count of those bytes. Without a point v is the digits and the power 1: to_doubles
// rounds once, the division not at all. Returns false, having read nothing, where one of them
// is not so.
[[gnu::always_inline]] inline bool read_eight_varying_points(const four_lanes* quarters,
                                                             double* values) noexcept {
    if ((quarters[0].fit & quarters[1].fit) != 0xF) return false;
    std::uint64_t from_point[2];
    std::uint64_t signs[2];
    std::uint64_t wrong = 0;
    for (int half = 0; half < 2; ++half) {
        const four_lanes& lanes = quarters[half];
        const std::uint64_t points =
            lanes.own & mask_of(equal(lanes.x[0], '.'), equal(lanes.x[1], '.'));
        from_point[half] = from_first_set<16>(points);
        const std::uint64_t lead = lanes.own & ~((lanes.own << 1) & ~first_bits<16>);
        signs[half] = lead & mask_of(equal(lanes.x[0], '-'), equal(lanes.x[1], '-'));
        // Every byte a digit, a point or the sign, no point after another in its number, and
        // a digit in every number.
        wrong |= (lanes.own & ~(lanes.digits | points | signs[half])) |
                 (points & (from_point[half] << 1) & ~first_bits<16>) |
                 (last_bits<16> & ~lanes_with_any<16>(lanes.own & lanes.digits));
    }
    if (wrong != 0) return false;
    for (int half = 0; half < 2; ++half) {
        __m256i pair_values[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i x = quarters[half].x[h];
            const __m256i v =
                _mm256_and_si256(_mm256_sub_epi8(x, _mm256_set1_epi8('0')),
                                 _mm256_and_si256(is_digit(x), quarters[half].own_bytes[h]));
            pair_values[h] = lane_values(_mm256_blendv_epi8(
                v, _mm256_srli_si256(v, 1), byte_mask(from_point[half] >> (32 * h))));
        }
        const auto power = [&](int n) {
            return exact_powers_of_ten[std::popcount((from_point[half] >> (16 * n)) & 0xFFFF)];
        };
        const __m256d scaled =
            _mm256_div_pd(to_doubles(_mm256_permute4x64_epi64(
                              _mm256_unpacklo_epi64(pair_values[0], pair_values[1]), 0xD8)),
                          _mm256_setr_pd(power(0), power(1), power(2), power(3)));
        const __m256i sign =
            _mm256_and_si256(qword_mask(lane_bits<16>(lanes_with_any<16>(signs[half]))),
                             _mm256_set1_epi64x(INT64_MIN));
        _mm256_storeu_pd(values + 4 * half,
                         _mm256_castsi256_pd(_mm256_or_si256(_mm256_castpd_si256(scaled), sign)));
    }
    return true;
}

// Reads the eight numbers [at[i], ends[i]) that have read_four's shape into values[i], and
// returns a bit i for each, and bit 8 + i for each of those that has an exponent; values[i] of
// the others is left undefined. Reads 16 bytes before each end. With `exponents`, it reads
// the words too. With `tails`, each number ends in e or E, a sign and two digits, its
// exponent, and is read as its mantissa, the bytes before them, of the plain shape and at most
// 15 bytes, times 10^exponent; it returns tails_refused, having read nothing, where one of the
// eight does not end so. It then reads 20 bytes before each end. Exact for the reasons the AVX-512
// set's read_eight gives: each value is v × 10^t or v / 10^-t with v and 10^|t| exact doubles, one
// IEEE operation.
template <bool exponents, bool tails = false>
[[gnu::always_inline]] inline unsigned read_eight(const char* const* at, const char* const* ends,
                                                  double* values) noexcept {
    // With `tails`, the exponents first, from each number's last four bytes.
    __m256i tail = _mm256_setzero_si256();
    if constexpr (tails) {
        if (!exponent_lanes(ends, tail)) return tails_refused;
    }
    unsigned ok = 0;
    unsigned negative = 0;
    unsigned with_exponent = 0;
    unsigned nan = 0;
    unsigned infinity = 0;
    alignas(32) std::int32_t powers_of_ten[8];  // t, all eight at once
    __m256i digits[4];
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
            for (int half = 0; half < 2; ++half) {
                __m256i pair_values[2];
                for (int h = 0; h < 2; ++h) {
                    pair_values[h] = lane_values(_mm256_and_si256(
                        _mm256_sub_epi8(quarters[half].x[h], _mm256_set1_epi8('0')),
                        quarters[half].own_bytes[h]));
                }
                _mm256_storeu_pd(values + 4 * half,
                                 to_doubles(_mm256_permute4x64_epi64(
                                     _mm256_unpacklo_epi64(pair_values[0], pair_values[1]), 0xD8)));
            }
            return quarters[0].fit | quarters[1].fit << 4;
        }
        // Eight decimals with the point in one place from the end, as %.Nf writes them, an
        // optional '-' first: the point's place is one for all, so the bytes from it on, and
        // the power of ten, are too, and only the masks that say so are made.
        fixed_points shape;
        if (fixed_point_shape(
                quarters[0], quarters[1],
                [](const four_lanes& lanes) {
                    return mask_of(equal(lanes.x[0], '.'), equal(lanes.x[1], '.'));
                },
                [](const four_lanes& lanes) {
                    return mask_of(equal(lanes.x[0], '-'), equal(lanes.x[1], '-'));
                },
                shape)) {
            const int place = shape.place;
            // As read_four squeezes the point out: v is ten times the digits, below 10^16 and
            // even, a double, and 10^(16 - place), at most 10^16, is one too: one division,
            // rounded once.
            const __m256i from_point =
                _mm256_cmpgt_epi8(byte_places(), _mm256_set1_epi8(static_cast<char>(place - 1)));
            const __m256d power = _mm256_set1_pd(exact_powers_of_ten[16 - place]);
            for (int half = 0; half < 2; ++half) {
                __m256i pair_values[2];
                for (int h = 0; h < 2; ++h) {
                    const __m256i x = quarters[half].x[h];
                    const __m256i v = _mm256_and_si256(
                        _mm256_sub_epi8(x, _mm256_set1_epi8('0')),
                        _mm256_and_si256(is_digit(x), quarters[half].own_bytes[h]));
                    pair_values[h] =
                        lane_values(_mm256_blendv_epi8(v, _mm256_srli_si256(v, 1), from_point));
                }
                const __m256d scaled =
                    _mm256_div_pd(to_doubles(_mm256_permute4x64_epi64(
                                      _mm256_unpacklo_epi64(pair_values[0], pair_values[1]), 0xD8)),
                                  power);
                const __m256i sign = _mm256_and_si256(
                    qword_mask(lane_bits<16>(lanes_with_any<16>(shape.signs[half]))),
                    _mm256_set1_epi64x(INT64_MIN));
                _mm256_storeu_pd(values + 4 * half, _mm256_castsi256_pd(_mm256_or_si256(
                                                        _mm256_castpd_si256(scaled), sign)));
            }
            return 0xFF;
        }
        if (read_eight_varying_points(quarters, values)) return 0xFF;
    }
    for (int quarter = 0; quarter < 2; ++quarter) {
        const four_numbers four = read_four<exponents>(quarters[quarter]);
        digits[2 * quarter] = four.digits[0];
        digits[2 * quarter + 1] = four.digits[1];
        for (int n = 0; n < 4; ++n)
            powers_of_ten[4 * quarter + n] = four.exponent[n];
        ok |= four.ok << 4 * quarter;
        negative |= four.negative << 4 * quarter;
        with_exponent |= four.with_exponent << 4 * quarter;
        if constexpr (exponents) {
            nan |= four.nan << 4 * quarter;
            infinity |= four.infinity << 4 * quarter;
        }
    }
    // |t| at most 22, where 10^|t| is a double, for all eight at once.
    __m256i t = _mm256_load_si256(reinterpret_cast<const __m256i*>(powers_of_ten));
    if constexpr (tails) {
        t = _mm256_add_epi32(t, tail);
    }
    const __m256i magnitude = _mm256_abs_epi32(t);
    const __m256i in_range = _mm256_cmpgt_epi32(_mm256_set1_epi32(23), magnitude);
    alignas(32) std::int32_t magnitudes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(magnitudes),
                       _mm256_and_si256(magnitude, in_range));
    ok &= static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(in_range)));
    const __m256i up = _mm256_cmpgt_epi32(t, _mm256_setzero_si256());  // all ones where t > 0
    for (int half = 0; half < 2; ++half) {
        // Numbers 4 × half to 4 × half + 3, from the 64-bit lanes 0 and 2 of two pairs' digits.
        const __m256i v = _mm256_permute4x64_epi64(
            _mm256_unpacklo_epi64(digits[2 * half], digits[2 * half + 1]), 0xD8);
        const __m256d d = to_doubles(v);
        const __m256d powers = _mm256_setr_pd(exact_powers_of_ten[magnitudes[4 * half]],
                                              exact_powers_of_ten[magnitudes[4 * half + 1]],
                                              exact_powers_of_ten[magnitudes[4 * half + 2]],
                                              exact_powers_of_ten[magnitudes[4 * half + 3]]);
        __m256d scaled = _mm256_div_pd(d, powers);
        if constexpr (exponents || tails) {
            scaled = _mm256_blendv_pd(
                scaled, _mm256_mul_pd(d, powers),
                _mm256_castsi256_pd(_mm256_cvtepi32_epi64(
                    half == 0 ? _mm256_castsi256_si128(up) : _mm256_extracti128_si256(up, 1))));
        }
        if constexpr (exponents) {
            scaled =
                _mm256_blendv_pd(scaled, _mm256_set1_pd(std::numeric_limits<double>::quiet_NaN()),
                                 _mm256_castsi256_pd(qword_mask((nan >> 4 * half) & 0xF)));
            scaled =
                _mm256_blendv_pd(scaled, _mm256_set1_pd(std::numeric_limits<double>::infinity()),
                                 _mm256_castsi256_pd(qword_mask((infinity >> 4 * half) & 0xF)));
        }
        const __m256i sign = _mm256_and_si256(qword_mask((negative >> 4 * half) & 0xF),
                                              _mm256_set1_epi64x(INT64_MIN));
        _mm256_storeu_pd(values + 4 * half,
                         _mm256_castsi256_pd(_mm256_or_si256(_mm256_castpd_si256(scaled), sign)));
    }
    ok |= nan | infinity;
    if constexpr (tails) with_exponent = 0xFF;
    return ok | (with_exponent & ok) << 8;
}
