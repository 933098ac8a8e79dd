// The AVX2 set's reader of numbers in the form %e writes, eight at a time, as the AVX-512 set's
// (x86/avx512/scientific_reader.h) reads them, but one number to a vector: the exponents, the
// digits after the point and the lane masks that follow from the lengths are made for the
// eight at once, then each mantissa is read as scan_scientific reads it, and the eight are
// scaled four at a time by scale_four, without a record in memory between. Included by its file
// inside its target region, after x86/plain_scan.h, x86/exponent_tails.h and scale_four.h.

// Reads the eight numbers [at[i], ends[i]) of that form, whose power of ten scale_four decides,
// into values[i], and returns a bit i for each; the others are left. Reads 32 bytes before each
// number.
[[gnu::always_inline]] inline unsigned read_eight_scientific(const char* const* at,
                                                             const char* const* ends,
                                                             double* values) noexcept {
    __m256i tail_exponents;
    const __m256i wrong = exponent_tails_of(last_fours(ends), tail_exponents);
    const __m256i minus = leading_minus(at);
    const auto length = [&](int i) { return static_cast<int>(ends[i] - at[i]); };
    // n: the length less the exponent's four bytes, the first digit, the point and the '-'
    // (minus is -1 where there is one).
    const __m256i n = _mm256_add_epi32(
        _mm256_sub_epi32(_mm256_setr_epi32(length(0), length(1), length(2), length(3), length(4),
                                           length(5), length(6), length(7)),
                         _mm256_set1_epi32(6)),
        minus);
    const __m256i e = _mm256_sub_epi32(tail_exponents, n);
    // Read: n from 1 to 18 and the exponent as %e writes it; scale_four says which powers of ten
    // it takes.
    const __m256i in_range =
        _mm256_andnot_si256(_mm256_or_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(1), n),
                                            _mm256_cmpgt_epi32(n, _mm256_set1_epi32(18))),
                            _mm256_cmpeq_epi32(wrong, _mm256_setzero_si256()));
    const auto shape = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(in_range)));
    // The lanes of the point and of the digits among the 32 bytes before each mantissa's end.
    const __m256i point =
        _mm256_sllv_epi32(_mm256_set1_epi32(1), _mm256_sub_epi32(_mm256_set1_epi32(31), n));
    const __m256i digits = _mm256_or_si256(
        _mm256_sllv_epi32(_mm256_set1_epi32(-1), _mm256_sub_epi32(_mm256_set1_epi32(32), n)),
        _mm256_srli_epi32(point, 1));
    alignas(32) std::uint32_t point_masks[8];
    alignas(32) std::uint32_t digit_masks[8];
    alignas(32) std::int32_t fractions[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(point_masks), point);
    _mm256_store_si256(reinterpret_cast<__m256i*>(digit_masks), digits);
    _mm256_store_si256(reinterpret_cast<__m256i*>(fractions), n);
    unsigned read = 0;
    alignas(32) std::uint64_t mantissas[8];
    for (int i = 0; i < 8; ++i) {
        // The 32 bytes before the mantissa's end, or, where a number is too short to have them,
        // bytes it does not read.
        const char* const m = ends[i] - 4 <= at[i] ? at[i] + 1 : ends[i] - 4;
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m - 32));
        const std::uint32_t bad =
            (digit_masks[i] & ~bits_of(up_to(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), 9))) |
            (point_masks[i] & ~bits_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('.'))));
        const int fraction = fractions[i] & 31;
        mantissa_value(m, 31 - fraction, fraction + 1, mantissas[i]);
        read |= static_cast<unsigned>(bad == 0) << i;
    }
    unsigned done_bits = 0;
    for (int half = 0; half < 2; ++half) {
        __m256i done;
        const __m256d scaled =
            scale_four(_mm256_load_si256(reinterpret_cast<const __m256i*>(mantissas + 4 * half)),
                       _mm256_cvtepi32_epi64(half == 0 ? _mm256_castsi256_si128(e)
                                                       : _mm256_extracti128_si256(e, 1)),
                       done);
        const __m256i sign =
            _mm256_slli_epi64(_mm256_cvtepi32_epi64(half == 0 ? _mm256_castsi256_si128(minus)
                                                              : _mm256_extracti128_si256(minus, 1)),
                              63);
        _mm256_storeu_pd(values + 4 * half,
                         _mm256_castsi256_pd(_mm256_or_si256(_mm256_castpd_si256(scaled), sign)));
        done_bits |= static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(done)))
                     << (4 * half);
    }
    return read & shape & done_bits;
}
