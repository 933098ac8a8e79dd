// The AVX-512 set's conversion of eight plain numbers by one division, checked in integers.
// Included by its file inside its target region.

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

// The plain numbers list[0] to list[7] of `numbers`, as scan_plain records them (at most 20
// digits after the point), converted by divide_exactly into values and marked
// scanned::converted where it decides them; the others are left as they are. Returns the mask
// of those it decided.
[[gnu::always_inline]] inline unsigned convert_eight(const int* list, const decimal* numbers,
                                                     scanned* shapes, double* values) noexcept {
    alignas(64) std::uint64_t w[8];
    alignas(64) std::int64_t k[8];
    unsigned negative = 0;
    for (int j = 0; j < 8; ++j) {
        const decimal& number = numbers[list[j]];
        w[j] = number.digits;
        k[j] = -number.exponent;
        negative |= static_cast<unsigned>(number.negative) << j;
    }
    __mmask8 exact;
    const __m512d q = divide_exactly(_mm512_load_si512(w), _mm512_load_si512(k), exact);
    alignas(64) double signed_q[8];
    _mm512_store_si512(signed_q,
                       _mm512_mask_or_epi64(_mm512_castpd_si512(q), static_cast<__mmask8>(negative),
                                            _mm512_castpd_si512(q), _mm512_set1_epi64(INT64_MIN)));
    for (int j = 0; j < 8; ++j) {
        values[list[j]] = signed_q[j];
        if (((exact >> j) & 1) != 0) shapes[list[j]] = scanned::converted;
    }
    return exact;
}
