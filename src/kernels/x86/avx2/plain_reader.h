// The AVX2 set's reader of eight longer plain numbers at once: the AVX-512 set's
// (x86/avx512/plain_reader.h) in AVX2, without its mantissas before exponents, each number in a
// vector of its own, the 32 bytes that end at its end. The shape is the same: an optional '-',
// then 1 to 20 digits that fit 64 bits with at most one point among them. The lane masks of
// the eight numbers' digits and points, from movemask, are the 32-bit lanes of one vector,
// where the point's place, the count of digits and the checks are made for all eight at once;
// the masks go in through general registers, as there (a vector load of words just stored
// waits for the stores); plain_lanes.h makes them for both sets. Included by its file inside
// its target region, after group_reader.h, exponent_tails.h, plain_lanes.h and
// divide_exactly.h.

// Each byte of x takes the one before it, byte 0 a zero: a shift of all 32 bytes by one place,
// across the 128-bit lanes.
[[gnu::always_inline]] inline __m256i bytes_before(__m256i x) noexcept {
    return _mm256_alignr_epi8(x, _mm256_permute2x128_si256(x, x, 0x08), 15);
}

// The digits' values (0 to 9) summed in pairs and fours, as lane_values sums them: 4 digits to
// a 32-bit lane.
[[gnu::always_inline]] inline __m256i fours_of(__m256i values) noexcept {
    return _mm256_madd_epi16(_mm256_maddubs_epi16(values, _mm256_set1_epi16(0x010A)),
                             _mm256_set1_epi32(0x00010064));
}

// The values of two numbers' digits, each number's 32 bytes in a vector of its own with the
// digits' values in its last 20 bytes at most, zeros before them: the first 16 bytes' value of
// each in the 128-bit lane 0, the last 16 bytes' in lane 1, the first number's in 64-bit lane 0
// of each and the second's in 64-bit lane 1. As lane_values, with the two numbers' fours packed
// together for the eights.
[[gnu::always_inline]] inline __m256i two_values(__m256i first, __m256i second) noexcept {
    const __m256i eights = _mm256_madd_epi16(_mm256_packus_epi32(fours_of(first), fours_of(second)),
                                             _mm256_set1_epi32(0x00012710));
    return _mm256_add_epi64(_mm256_mul_epu32(eights, _mm256_set1_epi64x(100000000)),
                            _mm256_srli_epi64(eights, 32));
}

// Reads the eight numbers [at[i], ends[i]) into values[i] where each has that shape and
// divide_exactly converts it, and returns true. Otherwise returns false and writes nothing.
// Reads 32 bytes before each end.
[[gnu::always_inline]] inline bool read_eight_plain(const char* const* at, const char* const* ends,
                                                    double* values) noexcept {
    // The 32 bytes before each number's end, and the lane masks of their digits and points,
    // bit j for byte j, two numbers to a 64-bit word: the 32-bit lanes of the eight in order.
    __m256i x[8];
    long long digit_bits[4];
    long long point_bits[4];
    for (int h = 0; h < 4; ++h) {
        std::uint64_t digit_word = 0;
        std::uint64_t point_word = 0;
        for (int n = 0; n < 2; ++n) {
            x[2 * h + n] =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ends[2 * h + n] - 32));
            digit_word |= std::uint64_t{static_cast<std::uint32_t>(
                              _mm256_movemask_epi8(is_digit(x[2 * h + n])))}
                          << 32 * n;
            point_word |= std::uint64_t{static_cast<std::uint32_t>(
                              _mm256_movemask_epi8(equal(x[2 * h + n], '.')))}
                          << 32 * n;
        }
        digit_bits[h] = static_cast<long long>(digit_word);
        point_bits[h] = static_cast<long long>(point_word);
    }
    const __m256i ones = _mm256_set1_epi32(-1);
    const plain_lanes lanes = plain_lanes_of(
        at, ends, _mm256_setr_epi64x(digit_bits[0], digit_bits[1], digit_bits[2], digit_bits[3]),
        _mm256_setr_epi64x(point_bits[0], point_bits[1], point_bits[2], point_bits[3]));
    const __m256i point = lanes.point;
    const __m256i no_point = lanes.no_point;
    const __m256i count = lanes.count;
    const __m256i minus = lanes.minus;
    const __m256i shaped =
        _mm256_and_si256(_mm256_cmpeq_epi32(lanes.stray, _mm256_setzero_si256()),
                         _mm256_and_si256(_mm256_cmpgt_epi32(count, _mm256_setzero_si256()),
                                          _mm256_cmpgt_epi32(_mm256_set1_epi32(21), count)));
    // The digits after the point, 31 less the point's lane, the exponent of its bit as a
    // float (lane 31's bit, a negative int32, the float's sign set apart).
    const __m256i point_lane = _mm256_sub_epi32(
        _mm256_and_si256(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(point)), 23),
                         _mm256_set1_epi32(0xFF)),
        _mm256_set1_epi32(127));
    const __m256i fraction =
        _mm256_andnot_si256(no_point, _mm256_sub_epi32(_mm256_set1_epi32(31), point_lane));
    // Each byte up to the point takes the one before it: the point is squeezed out and the
    // digits are the number's last `count` bytes. Those bytes, and the ones that take the
    // byte before them, are a byte comparison of each byte's place with a number's own bound,
    // the bound in every byte of the number's 32-bit lane (its low byte, repeated), which a
    // permutation spreads over a vector: the point's lane plus one, 0 where there is none,
    // and 31 less the count.
    const __m256i low_byte_repeated =
        _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4, 4, 4,
                         8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i squeeze_below = _mm256_shuffle_epi8(
        _mm256_andnot_si256(no_point, _mm256_sub_epi32(point_lane, ones)), low_byte_repeated);
    const __m256i digits_above =
        _mm256_shuffle_epi8(_mm256_sub_epi32(_mm256_set1_epi32(31), count), low_byte_repeated);
    const __m256i places =
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    __m256i sums[4];
    for (int h = 0; h < 4; ++h) {
        __m256i digit_values[2];
        for (int n = 0; n < 2; ++n) {
            const __m256i lane = _mm256_set1_epi32(2 * h + n);
            const __m256i joined = _mm256_blendv_epi8(
                x[2 * h + n], bytes_before(x[2 * h + n]),
                _mm256_cmpgt_epi8(_mm256_permutevar8x32_epi32(squeeze_below, lane), places));
            digit_values[n] = _mm256_and_si256(
                _mm256_sub_epi8(joined, _mm256_set1_epi8('0')),
                _mm256_cmpgt_epi8(places, _mm256_permutevar8x32_epi32(digits_above, lane)));
        }
        sums[h] = two_values(digit_values[0], digit_values[1]);
    }
    // The power of ten to divide by, 10 to the digits after the point, at most 20 in those
    // read (the others' index kept in the table).
    alignas(32) std::int32_t index[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index),
                       _mm256_min_epu32(fraction, _mm256_set1_epi32(22)));
    const auto read = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(shaped)));
    unsigned decided = 0;
    __m256d quotients[2];
    for (int half = 0; half < 2; ++half) {
        // The four numbers' first and last 16 digits, and w, their value: 20 digits fit 64 bits
        // where the first four are below 1844, or are 1844 and the last 16 at most
        // 6744073709551615; elsewhere w wraps, and the number is refused. The first four are
        // below 2^32, and 10^16 is 2328306 × 2^32 + 1874919424.
        const __m256i firsts = _mm256_permute2x128_si256(sums[2 * half], sums[2 * half + 1], 0x20);
        const __m256i lasts = _mm256_permute2x128_si256(sums[2 * half], sums[2 * half + 1], 0x31);
        const __m256i w = _mm256_add_epi64(
            _mm256_add_epi64(
                _mm256_mul_epu32(firsts, _mm256_set1_epi64x(1874919424)),
                _mm256_slli_epi64(_mm256_mul_epu32(firsts, _mm256_set1_epi64x(2328306)), 32)),
            lasts);
        const __m256i limit = _mm256_set1_epi64x(1844);
        const __m256i fits = _mm256_or_si256(
            _mm256_cmpgt_epi64(limit, firsts),
            _mm256_and_si256(_mm256_cmpeq_epi64(firsts, limit),
                             _mm256_cmpgt_epi64(_mm256_set1_epi64x(6744073709551616), lasts)));
        __m128i powers[4];
        for (int j = 0; j < 4; ++j) {
            powers[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(
                &power_pairs[static_cast<std::size_t>(index[4 * half + j])]));
        }
        __m256i exact;
        quotients[half] = divide_exactly(
            w,
            _mm256_cvtepi32_epi64(half == 0 ? _mm256_castsi256_si128(fraction)
                                            : _mm256_extracti128_si256(fraction, 1)),
            _mm256_castsi256_pd(low_halves(powers[0], powers[1], powers[2], powers[3])),
            high_halves(powers[0], powers[1], powers[2], powers[3]), exact);
        decided |= static_cast<unsigned>(
                       _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_and_si256(fits, exact))))
                   << 4 * half;
    }
    if ((read & decided) != 0xFF) return false;
    for (int half = 0; half < 2; ++half) {
        const __m256i sign =
            _mm256_slli_epi64(_mm256_cvtepi32_epi64(half == 0 ? _mm256_castsi256_si128(minus)
                                                              : _mm256_extracti128_si256(minus, 1)),
                              63);
        _mm256_storeu_pd(values + 4 * half,
                         _mm256_or_pd(quotients[half], _mm256_castsi256_pd(sign)));
    }
    return true;
}
