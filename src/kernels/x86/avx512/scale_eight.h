// The AVX-512 set's exact scaling of eight decimals at once: scale for the numbers in the form %e
// writes that its scientific reader reads. Included by its file inside its target region.

// The high 64 bits of the 128-bit products of the lanes of a and b, and in `low` the low 64, from
// four 32 × 32-bit products (the schoolbook method; AVX-512 has no 64 × 64-bit multiply that
// keeps the high half).
[[gnu::always_inline]] inline __m512i full_product(__m512i a, __m512i b, __m512i& low) noexcept {
    const __m512i low_halves = _mm512_set1_epi64(0xFFFFFFFF);
    const __m512i a_high = _mm512_maskz_srli_epi64(0xFF, a, 32);
    const __m512i b_high = _mm512_maskz_srli_epi64(0xFF, b, 32);
    const __m512i low_low = _mm512_maskz_mul_epu32(0xFF, a, b);
    const __m512i low_high = _mm512_maskz_mul_epu32(0xFF, a, b_high);
    const __m512i high_low = _mm512_maskz_mul_epu32(0xFF, a_high, b);
    const __m512i high_high = _mm512_maskz_mul_epu32(0xFF, a_high, b_high);
    // Below 3 × 2^32: the middle 32 bits and what they carry.
    const __m512i middle =
        _mm512_add_epi64(_mm512_add_epi64(_mm512_maskz_srli_epi64(0xFF, low_low, 32),
                                          _mm512_and_si512(low_high, low_halves)),
                         _mm512_and_si512(high_low, low_halves));
    low = _mm512_or_si512(_mm512_maskz_slli_epi64(0xFF, middle, 32),
                          _mm512_and_si512(low_low, low_halves));
    return _mm512_add_epi64(
        _mm512_add_epi64(high_high, _mm512_maskz_srli_epi64(0xFF, low_high, 32)),
        _mm512_add_epi64(_mm512_maskz_srli_epi64(0xFF, high_low, 32),
                         _mm512_maskz_srli_epi64(0xFF, middle, 32)));
}

// scale(w, e) in the lanes of `done`: those with w <= 2^53 and -22 <= e <= 22, by one IEEE
// operation, and those with w > 2^53 and -27 <= e <= -1, by scale_exact's truncated reciprocal
// of 5^-e, step for step (its proof holds lane by lane). The other lanes are left.
[[gnu::always_inline]] inline __m512d scale_eight(__m512i w, __m512i e, __mmask8& done) noexcept {
    const __m512i one = _mm512_set1_epi64(1);
    const __m512i k = _mm512_maskz_abs_epi64(0xFF, e);
    const __mmask8 small = _mm512_cmple_epu64_mask(w, _mm512_set1_epi64(std::int64_t{1} << 53));
    const __mmask8 negative = _mm512_cmplt_epi64_mask(e, _mm512_setzero_si512());
    const __mmask8 once = small & _mm512_cmple_epu64_mask(k, _mm512_set1_epi64(22));
    const __mmask8 reciprocal =
        ~small & negative & _mm512_cmple_epu64_mask(k, _mm512_set1_epi64(27));
    done = once | reciprocal;

    // One operation: w and 10^|e| are exact doubles.
    __m512d powers = _mm512_permutex2var_pd(_mm512_loadu_pd(exact_powers_of_ten), k,
                                            _mm512_loadu_pd(exact_powers_of_ten + 8));
    powers = _mm512_mask_permutexvar_pd(powers, _mm512_cmpge_epu64_mask(k, _mm512_set1_epi64(16)),
                                        k, _mm512_maskz_loadu_pd(0x7F, exact_powers_of_ten + 16));
    const __m512d v = _mm512_cvtepu64_pd(w);
    const __m512d operated = _mm512_mask_div_pd(_mm512_mul_pd(v, powers), negative, v, powers);

    // The reciprocal. w's leading zeros, from the double nearest to w: its exponent is w's top
    // bit, or one more where w rounded up to a power of two, and then w shifted by it is 0.
    __m512i top = _mm512_sub_epi64(_mm512_maskz_srli_epi64(0xFF, _mm512_castpd_si512(v), 52),
                                   _mm512_set1_epi64(1023));
    top = _mm512_mask_sub_epi64(
        top, _mm512_cmpeq_epi64_mask(_mm512_maskz_srlv_epi64(0xFF, w, top), _mm512_setzero_si512()),
        top, one);
    const __m512i w_shift = _mm512_sub_epi64(_mm512_set1_epi64(63), top);
    const __m512i big_w = _mm512_maskz_sllv_epi64(0xFF, w, w_shift);
    // The reciprocal's words and t, from the table's entries of 32 bytes; k = 0 elsewhere.
    const __m512i entry = _mm512_maskz_slli_epi64(0xFF, _mm512_maskz_mov_epi64(reciprocal, k), 2);
    const auto* table = reinterpret_cast<const long long*>(scaling::reciprocals.data());
    const __m512i r_low =
        _mm512_mask_i64gather_epi64(_mm512_setzero_si512(), 0xFF, entry, table, 8);
    const __m512i r_high = _mm512_mask_i64gather_epi64(_mm512_setzero_si512(), 0xFF,
                                                       _mm512_add_epi64(entry, one), table, 8);
    const __m512i t = _mm512_and_si512(
        _mm512_mask_i64gather_epi64(_mm512_setzero_si512(), 0xFF,
                                    _mm512_add_epi64(entry, _mm512_set1_epi64(2)), table, 8),
        _mm512_set1_epi64(0xFFFFFFFF));
    __m512i unused;
    const __m512i low_high = full_product(big_w, r_low, unused);
    __m512i rest_low;
    __m512i high = full_product(big_w, r_high, rest_low);
    rest_low = _mm512_add_epi64(rest_low, low_high);
    high = _mm512_mask_add_epi64(high, _mm512_cmplt_epu64_mask(rest_low, low_high), high, one);
    const __m512i shift =
        _mm512_add_epi64(_mm512_maskz_srli_epi64(0xFF, high, 63), _mm512_set1_epi64(10));
    const __m512i m = _mm512_maskz_srlv_epi64(0xFF, high, shift);
    const __m512i rest_high =
        _mm512_and_si512(high, _mm512_sub_epi64(_mm512_maskz_sllv_epi64(0xFF, one, shift), one));
    const __m512i half_high = _mm512_maskz_sllv_epi64(0xFF, one, _mm512_sub_epi64(shift, one));
    const __mmask8 carry =
        _mm512_test_epi64_mask(m, one) & _mm512_cmpeq_epi64_mask(rest_low, _mm512_set1_epi64(-1));
    const __m512i up =
        _mm512_maskz_srlv_epi64(0xFF,
                                _mm512_mask_add_epi64(_mm512_add_epi64(rest_high, half_high), carry,
                                                      _mm512_add_epi64(rest_high, half_high), one),
                                shift);
    // m × 2^(shift - t - w_shift - k), assembled as scaling::assemble does.
    const __m512i biased = _mm512_sub_epi64(_mm512_add_epi64(shift, _mm512_set1_epi64(1075 - 1)),
                                            _mm512_add_epi64(_mm512_add_epi64(t, w_shift), k));
    const __m512i exact =
        _mm512_add_epi64(_mm512_maskz_slli_epi64(0xFF, biased, 52), _mm512_add_epi64(m, up));
    return _mm512_mask_blend_pd(reciprocal, operated, _mm512_castsi512_pd(exact));
}
