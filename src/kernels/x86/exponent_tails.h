// The exponents of e or E, a sign and two digits that end eight numbers, read eight at a time
// in the 32-bit lanes of an AVX2 vector, as two_digit_exponent_of (generic/exponent_tail.h)
// reads one. Included by the AVX2 and AVX-512 sets' files inside their target regions.

// The exponents of such tails in the 32-bit lanes of `last_fours`, the last four bytes of eight
// numbers, into `exponents`; returns a vector that is 0 in the lanes that are so, and the
// exponents of the others are not to be read. The numbers are not checked to be longer than
// their exponents: the readers, which take what is before them as the mantissas, refuse an
// empty one.
[[gnu::always_inline]] inline __m256i exponent_tails_of(__m256i last_fours,
                                                        __m256i& exponents) noexcept {
    const __m256i left = _mm256_sub_epi32(_mm256_or_si256(last_fours, _mm256_set1_epi32(0x20)),
                                          _mm256_set1_epi32(0x30302B65));
    const __m256i wrong = _mm256_or_si256(
        _mm256_and_si256(left, _mm256_set1_epi32(0xFDFF)),
        _mm256_and_si256(
            _mm256_or_si256(_mm256_add_epi32(left, _mm256_set1_epi32(0x76760000)), left),
            _mm256_set1_epi32(static_cast<int>(0x80800000))));
    // Ten times byte 2 and byte 3, the digits' values; negated where byte 1 is 2, a '-'.
    const __m256i magnitude = _mm256_madd_epi16(
        _mm256_maddubs_epi16(left, _mm256_set1_epi32(0x010A0000)), _mm256_set1_epi16(1));
    const __m256i minus = _mm256_cmpeq_epi32(_mm256_and_si256(left, _mm256_set1_epi32(0x200)),
                                             _mm256_set1_epi32(0x200));
    exponents = _mm256_sub_epi32(_mm256_xor_si256(magnitude, minus), minus);
    return wrong;
}

// The last four bytes of the number that ends at ends[i] in lane i, for eight numbers.
[[gnu::always_inline]] inline __m256i last_fours(const char* const* ends) noexcept {
    const auto last_four = [&](int i) { return static_cast<int>(load_le32(ends[i] - 4)); };
    return _mm256_setr_epi32(last_four(0), last_four(1), last_four(2), last_four(3), last_four(4),
                             last_four(5), last_four(6), last_four(7));
}

// All ones in lane i where the number at at[i] starts with '-', for eight numbers.
[[gnu::always_inline]] inline __m256i leading_minus(const char* const* at) noexcept {
    const auto first = [&](int i) { return static_cast<int>(at[i][0]); };
    return _mm256_cmpeq_epi32(_mm256_setr_epi32(first(0), first(1), first(2), first(3), first(4),
                                                first(5), first(6), first(7)),
                              _mm256_set1_epi32('-'));
}

// The exponent of the number that ends at ends[i] in lane i, for the eight; false where one of
// them does not end so.
[[gnu::always_inline]] inline bool exponent_lanes(const char* const* ends,
                                                  __m256i& exponents) noexcept {
    const __m256i wrong = exponent_tails_of(last_fours(ends), exponents);
    return _mm256_testz_si256(wrong, wrong);
}

// The exponents of such tails that end the eight numbers [at[i], ends[i]), as
// two_digit_exponent_of reads them, into exponents[i]; returns a bit i for each number that
// ends so and is longer than its exponent (a shorter one's four bytes start before it, and
// its mantissa's end would be before its start).
[[gnu::always_inline]] inline unsigned eight_tails(const char* const* at, const char* const* ends,
                                                   std::int32_t* exponents) noexcept {
    const auto length = [&](int i) { return static_cast<int>(ends[i] - at[i]); };
    __m256i values;
    const __m256i wrong = exponent_tails_of(last_fours(ends), values);
    const __m256i long_ones =
        _mm256_cmpgt_epi32(_mm256_setr_epi32(length(0), length(1), length(2), length(3), length(4),
                                             length(5), length(6), length(7)),
                           _mm256_set1_epi32(4));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(exponents), values);
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(
        _mm256_and_si256(long_ones, _mm256_cmpeq_epi32(wrong, _mm256_setzero_si256())))));
}
