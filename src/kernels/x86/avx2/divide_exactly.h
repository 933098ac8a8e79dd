// The AVX2 set's conversion of plain numbers by one division, checked in integers, four at a
// time: the AVX-512 set's divide_exactly.h step for step (its proof holds lane by lane).
// AVX2 lacks that set's 64-bit products, unsigned comparisons and conversions of 64-bit
// integers to doubles, so they are written out (to_doubles from group_reader.h, the products
// as scale_four.h's). Scalar, the exact scaling of a number of more than 15 digits cost about
// as many instructions as its scanning; so, end to end, the mixed benchmark file (a third of it
// 17 digits) took 0.92 to 0.93 of the time, and %.10f timestamps 0.93. Included by its file
// inside its target region, after scale_four.h.

// The low 64 bits of the products of the lanes of a and b.
[[gnu::always_inline]] inline __m256i low_product(__m256i a, __m256i b) noexcept {
    const __m256i crossed = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(a, 32), b),
                                             _mm256_mul_epu32(a, _mm256_srli_epi64(b, 32)));
    return _mm256_add_epi64(_mm256_mul_epu32(a, b), _mm256_slli_epi64(crossed, 32));
}

// The doubles nearest to w / 10^k in the lanes of `exact` (all ones there), from one division
// and a check in integers, as the AVX-512 set's divide_exactly says; the other lanes are left
// to scale_exact. `powers` holds 10^k as doubles, `power` as integers where k <= 18
// and 0 beyond. That set's tests of k <= 18 and E <= 0 are not made, for the check fails
// without them: where 10^k is given as 0, each of up, down and stays needs 2R both above and
// below 0; where E > 0, Q >= 2^53 and w < 2^64 leave k <= 3, the shift by -E gives 0, and 2R
// is -2 m 10^k modulo 2^64, where 2^53 <= 2 m 10^k < 2^54 × 10^3 < 2^64 - 3 × 10^k: farther
// from 0 than 3 × 10^k either way.
[[gnu::always_inline]] inline __m256d divide_exactly(__m256i w, __m256i k, __m256d powers,
                                                     __m256i power, __m256i& exact) noexcept {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi64x(1);
    const __m256i lowest = _mm256_set1_epi64x(std::int64_t{1} << 52);
    const __m256d q = _mm256_div_pd(to_doubles(w), powers);
    const __m256i bits = _mm256_castpd_si256(q);
    const __m256i m =
        _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi64x(0xFFFFFFFFFFFFF)), lowest);
    // -E; where it is negative, the shift gives 0 (AVX2's shifts of 64 or more do).
    const __m256i shift = _mm256_sub_epi64(_mm256_set1_epi64x(1075), _mm256_srli_epi64(bits, 52));
    const __m256i twice =
        _mm256_slli_epi64(_mm256_sub_epi64(_mm256_sllv_epi64(w, shift), low_product(m, power)), 1);
    const __m256i minus_power = _mm256_sub_epi64(zero, power);
    const __m256i three = _mm256_add_epi64(power, _mm256_add_epi64(power, power));
    const __m256i up =
        _mm256_and_si256(_mm256_cmpgt_epi64(twice, power), _mm256_cmpgt_epi64(three, twice));
    const __m256i down =
        _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi64(minus_power, twice),
                                          _mm256_cmpgt_epi64(twice, _mm256_sub_epi64(zero, three))),
                         _mm256_cmpgt_epi64(m, _mm256_add_epi64(lowest, one)));
    const __m256i stays = _mm256_andnot_si256(
        _mm256_and_si256(_mm256_cmpeq_epi64(m, lowest), _mm256_cmpgt_epi64(zero, twice)),
        _mm256_and_si256(_mm256_cmpgt_epi64(power, twice), _mm256_cmpgt_epi64(twice, minus_power)));
    // One rounding: w below 2^53 (2^53 itself the check decides) or k = 0.
    const __m256i once = _mm256_or_si256(_mm256_cmpeq_epi64(_mm256_srli_epi64(w, 53), zero),
                                         _mm256_cmpeq_epi64(k, zero));
    exact = _mm256_or_si256(_mm256_or_si256(once, stays), _mm256_or_si256(up, down));
    // The masks are -1 where set: the bits plus one where up, less one where down. Neither is
    // set where one rounding gave q: there 2R is exact (the shift of w, modulo 2^64 as the
    // product's, gives 0 where it is 64 or more) and |2R| <= 10^k; or 10^k is given as 0; or
    // k = 0, w > 2^53 and E > 0, as above; or w = 0, q = 0, where 2R = -2^53 × 10^k modulo
    // 2^64 is 0 or at least 2^54 from 0.
    const __m256i corrected = _mm256_add_epi64(_mm256_sub_epi64(bits, up), down);
    return _mm256_castsi256_pd(corrected);
}

// 10^k as a double and, for k <= 18, as an integer (0 beyond, where no lane is decided), side
// by side, so that one load gives a lane both; k from 0 to 22, as exact_powers_of_ten.
struct power_pair {
    double real;
    std::uint64_t integer;
};
alignas(16) inline constexpr auto power_pairs = [] {
    std::array<power_pair, 23> pairs{};
    for (std::size_t k = 0; k < pairs.size(); ++k)
        pairs[k] = {exact_powers_of_ten[k], k <= 18 ? integer_powers_of_ten[k] : 0};
    return pairs;
}();

// The four lanes of a and b's low (or high) 64 bits, from a0, a1 and b0, b1.
[[gnu::always_inline]] inline __m256i low_halves(__m128i a0, __m128i a1, __m128i b0,
                                                 __m128i b1) noexcept {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(a0, a1)),
                                   _mm_unpacklo_epi64(b0, b1), 1);
}
[[gnu::always_inline]] inline __m256i high_halves(__m128i a0, __m128i a1, __m128i b0,
                                                  __m128i b1) noexcept {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpackhi_epi64(a0, a1)),
                                   _mm_unpackhi_epi64(b0, b1), 1);
}

// The plain numbers list[0] to list[7] of `numbers`, as scan_plain records them (at most 20
// digits after the point), converted by divide_exactly into values and marked
// scanned::converted where it decides them; the others are left as they are. Returns the mask
// of those it decided. Each record is one load of 16 bytes, its digits in the low half and its
// exponent and sign in the high.
[[gnu::always_inline]] inline unsigned convert_eight(const int* list, const decimal* numbers,
                                                     scanned* shapes, double* values) noexcept {
    static_assert(sizeof(decimal) == 16 && offsetof(decimal, exponent) == 8 &&
                  offsetof(decimal, negative) == 12);
    alignas(32) double signed_q[8];
    unsigned decided = 0;
    for (int half = 0; half < 8; half += 4) {
        __m128i records[4];
        __m128i powers[4];
        for (int j = 0; j < 4; ++j) {
            const decimal& number = numbers[list[half + j]];
            records[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&number));
            powers[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(
                &power_pairs[static_cast<std::size_t>(-number.exponent)]));
        }
        const __m256i w = low_halves(records[0], records[1], records[2], records[3]);
        const __m256i rest = high_halves(records[0], records[1], records[2], records[3]);
        // k = -exponent from the low 32 bits, the sign from bit 32.
        const __m256i k = _mm256_srli_epi64(
            _mm256_sub_epi64(_mm256_setzero_si256(), _mm256_slli_epi64(rest, 32)), 32);
        const __m256i sign = _mm256_slli_epi64(_mm256_srli_epi64(rest, 32), 63);
        __m256i exact;
        const __m256d q = divide_exactly(
            w, k, _mm256_castsi256_pd(low_halves(powers[0], powers[1], powers[2], powers[3])),
            high_halves(powers[0], powers[1], powers[2], powers[3]), exact);
        _mm256_store_pd(signed_q + half, _mm256_or_pd(q, _mm256_castsi256_pd(sign)));
        decided |= static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(exact))) << half;
    }
    for (int j = 0; j < 8; ++j) {
        values[list[j]] = signed_q[j];
        if (((decided >> j) & 1) != 0) shapes[list[j]] = scanned::converted;
    }
    return decided;
}
