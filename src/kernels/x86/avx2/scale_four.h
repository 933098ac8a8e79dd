// The AVX2 set's exact scaling of four decimals at once: scale for the numbers in the form %e
// writes that its scientific reader reads, as the AVX-512 set's scale_eight.h does it eight at a
// time, step for step (its proof holds lane by lane). AVX2 lacks that set's unsigned 64-bit
// comparisons, 64-bit conversions to double (to_doubles, from group_reader.h), 64-bit arithmetic
// shifts and masks, so they are written out. Scalar, the exact scaling's two 128-bit products
// and its rounding cost that reader more than its reading: four at a time, %.17e read about 15%
// faster in memory. Included by its file inside its target region, after group_reader.h.

// The lanes of a below those of b, as unsigned 64-bit integers: all ones where so.
[[gnu::always_inline]] inline __m256i below(__m256i a, __m256i b) noexcept {
    const __m256i top = _mm256_set1_epi64x(INT64_MIN);
    return _mm256_cmpgt_epi64(_mm256_xor_si256(b, top), _mm256_xor_si256(a, top));
}

// The high 64 bits of the 128-bit products of the lanes of a and b, and in `low` the low 64,
// from four 32 × 32-bit products (the schoolbook method).
[[gnu::always_inline]] inline __m256i full_product(__m256i a, __m256i b, __m256i& low) noexcept {
    const __m256i low_halves = _mm256_set1_epi64x(0xFFFFFFFF);
    const __m256i a_high = _mm256_srli_epi64(a, 32);
    const __m256i b_high = _mm256_srli_epi64(b, 32);
    const __m256i low_low = _mm256_mul_epu32(a, b);
    const __m256i low_high = _mm256_mul_epu32(a, b_high);
    const __m256i high_low = _mm256_mul_epu32(a_high, b);
    const __m256i high_high = _mm256_mul_epu32(a_high, b_high);
    // Below 3 × 2^32: the middle 32 bits and what they carry.
    const __m256i middle = _mm256_add_epi64(
        _mm256_add_epi64(_mm256_srli_epi64(low_low, 32), _mm256_and_si256(low_high, low_halves)),
        _mm256_and_si256(high_low, low_halves));
    low = _mm256_or_si256(_mm256_slli_epi64(middle, 32), _mm256_and_si256(low_low, low_halves));
    return _mm256_add_epi64(
        _mm256_add_epi64(high_high, _mm256_srli_epi64(low_high, 32)),
        _mm256_add_epi64(_mm256_srli_epi64(high_low, 32), _mm256_srli_epi64(middle, 32)));
}

// scale(w, e) in the lanes of `done` (all ones there): those with w <= 2^53 and -22 <= e <= 22,
// by one IEEE operation, and those with w > 2^53 and -27 <= e <= -1, by scale_exact's truncated
// reciprocal of 5^-e. The other lanes are left.
[[gnu::always_inline]] inline __m256d scale_four(__m256i w, __m256i e, __m256i& done) noexcept {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi64x(1);
    const __m256i negative = _mm256_cmpgt_epi64(zero, e);
    const __m256i k = _mm256_sub_epi64(_mm256_xor_si256(e, negative), negative);
    const __m256i small =
        _mm256_or_si256(_mm256_cmpeq_epi64(_mm256_srli_epi64(w, 53), zero),
                        _mm256_cmpeq_epi64(w, _mm256_set1_epi64x(std::int64_t{1} << 53)));
    const __m256i once = _mm256_and_si256(small, _mm256_cmpgt_epi64(_mm256_set1_epi64x(23), k));
    const __m256i reciprocal = _mm256_andnot_si256(
        small, _mm256_and_si256(negative, _mm256_cmpgt_epi64(_mm256_set1_epi64x(28), k)));
    done = _mm256_or_si256(once, reciprocal);

    // The table entries of each lane's power, 0 where it is not used, loaded one at a time: the
    // loads cost about what a gather does, and qemu-user's AVX2 gathers, under which the set is
    // tested, gave wrong values here.
    alignas(32) std::int64_t powers_at[4];
    alignas(32) std::int64_t reciprocals_at[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(powers_at), _mm256_and_si256(k, once));
    _mm256_store_si256(reinterpret_cast<__m256i*>(reciprocals_at), _mm256_and_si256(k, reciprocal));

    // One operation: w and 10^|e| are exact doubles.
    const __m256d powers =
        _mm256_setr_pd(exact_powers_of_ten[powers_at[0]], exact_powers_of_ten[powers_at[1]],
                       exact_powers_of_ten[powers_at[2]], exact_powers_of_ten[powers_at[3]]);
    const __m256d v = to_doubles(w);
    const __m256d operated = _mm256_blendv_pd(_mm256_mul_pd(v, powers), _mm256_div_pd(v, powers),
                                              _mm256_castsi256_pd(negative));

    // The reciprocal. w's leading zeros, from the double nearest to w: its exponent is w's top
    // bit, or one more where w rounded up to a power of two, and then w shifted by it is 0.
    __m256i top =
        _mm256_sub_epi64(_mm256_srli_epi64(_mm256_castpd_si256(v), 52), _mm256_set1_epi64x(1023));
    top = _mm256_add_epi64(top, _mm256_cmpeq_epi64(_mm256_srlv_epi64(w, top), zero));
    const __m256i w_shift = _mm256_sub_epi64(_mm256_set1_epi64x(63), top);
    const __m256i big_w = _mm256_sllv_epi64(w, w_shift);
    // The reciprocal's words and t.
    const auto entry = [&](int lane) -> const scaling::reciprocal& {
        return scaling::reciprocals[static_cast<std::size_t>(reciprocals_at[lane])];
    };
    const auto word = [&](int lane, int shift) {
        return static_cast<long long>(static_cast<std::uint64_t>(entry(lane).r >> shift));
    };
    const __m256i r_low = _mm256_setr_epi64x(word(0, 0), word(1, 0), word(2, 0), word(3, 0));
    const __m256i r_high = _mm256_setr_epi64x(word(0, 64), word(1, 64), word(2, 64), word(3, 64));
    const __m256i t = _mm256_setr_epi64x(entry(0).t, entry(1).t, entry(2).t, entry(3).t);
    __m256i unused;
    const __m256i low_high = full_product(big_w, r_low, unused);
    __m256i rest_low;
    __m256i high = full_product(big_w, r_high, rest_low);
    rest_low = _mm256_add_epi64(rest_low, low_high);
    high = _mm256_sub_epi64(high, below(rest_low, low_high));
    const __m256i shift = _mm256_add_epi64(_mm256_srli_epi64(high, 63), _mm256_set1_epi64x(10));
    const __m256i m = _mm256_srlv_epi64(high, shift);
    const __m256i rest_high =
        _mm256_and_si256(high, _mm256_sub_epi64(_mm256_sllv_epi64(one, shift), one));
    const __m256i half_high = _mm256_sllv_epi64(one, _mm256_sub_epi64(shift, one));
    const __m256i carry = _mm256_and_si256(_mm256_cmpeq_epi64(_mm256_and_si256(m, one), one),
                                           _mm256_cmpeq_epi64(rest_low, _mm256_set1_epi64x(-1)));
    const __m256i up =
        _mm256_srlv_epi64(_mm256_sub_epi64(_mm256_add_epi64(rest_high, half_high), carry), shift);
    // m × 2^(shift - t - w_shift - k), assembled as scaling::assemble does.
    const __m256i biased = _mm256_sub_epi64(_mm256_add_epi64(shift, _mm256_set1_epi64x(1075 - 1)),
                                            _mm256_add_epi64(_mm256_add_epi64(t, w_shift), k));
    const __m256i exact = _mm256_add_epi64(_mm256_slli_epi64(biased, 52), _mm256_add_epi64(m, up));
    return _mm256_blendv_pd(operated, _mm256_castsi256_pd(exact), _mm256_castsi256_pd(reciprocal));
}
