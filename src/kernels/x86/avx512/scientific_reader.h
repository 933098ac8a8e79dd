// The AVX-512 set's reader of numbers in the form %e writes, eight at a time: an optional '-', a
// digit, the point, 1 to 18 digits, then e or E, a sign and two digits, as scan_scientific
// (generic/pass.h) reads one. Included by its file inside its target region, after
// group_reader.h, x86/exponent_tails.h and scale_eight.h.
//
// Each number's mantissa ends four bytes before its end, so the point's place among the 32
// bytes before that follows from the length alone, as for scan_scientific: with n digits after
// the point, it is lane 31 - n, the first digit lane 30 - n, and a '-' lane 29 - n. The lane
// masks are made for the eight numbers at once from their lengths, and the bytes are classified
// two numbers to a vector. Each lane up to the point takes the byte before it, which puts the
// first digit in the point's lane, so that the mantissa's 1 + n digits are the last lanes and
// sum as plain digits do. The digits and powers of ten go to scale_eight as they are, without a
// record in memory between.

// Reads the eight numbers [at[i], ends[i]) of that form, whose power of ten scale_eight
// decides, into values[i], and returns a bit i for each; the others are left. Reads 32 bytes
// before each number.
[[gnu::always_inline]] inline unsigned read_eight_scientific(const char* const* at,
                                                             const char* const* ends,
                                                             double* values) noexcept {
    __m256i tail_exponents;
    const __m256i wrong = exponent_tails_of(last_fours(ends), tail_exponents);
    const __m256i minus = leading_minus(at);
    // n: the length less the exponent's four bytes, the first digit, the point and the '-'
    // (minus is -1 where there is one). A length beyond 32 bits makes n fail below.
    const __m512i lengths = _mm512_sub_epi64(_mm512_loadu_si512(ends), _mm512_loadu_si512(at));
    const __m256i n = _mm256_add_epi32(
        _mm256_sub_epi32(_mm512_maskz_cvtepi64_epi32(0xFF, lengths), _mm256_set1_epi32(6)), minus);
    const __mmask8 shape =
        _mm256_cmple_epu32_mask(_mm256_sub_epi32(n, _mm256_set1_epi32(1)), _mm256_set1_epi32(17)) &
        _mm256_cmpeq_epi32_mask(wrong, _mm256_setzero_si256()) &
        _mm512_cmple_epu64_mask(lengths, _mm512_set1_epi64(32));
    // Each number's lane masks, bit j for lane j of the 32 bytes before its mantissa's end; the
    // eight 32-bit masks of a kind are four 64-bit ones, one for each vector of two numbers.
    const __m256i ones = _mm256_set1_epi32(-1);
    const __m256i point_lane = _mm256_sub_epi32(_mm256_set1_epi32(31), n);
    const __m256i fraction = _mm256_sllv_epi32(ones, _mm256_sub_epi32(_mm256_set1_epi32(32), n));
    const __m256i point = _mm256_sllv_epi32(_mm256_set1_epi32(1), point_lane);
    alignas(32) std::uint64_t fraction_masks[4];
    alignas(32) std::uint64_t value_masks[4];
    alignas(32) std::uint64_t point_masks[4];
    alignas(32) std::uint64_t digit_masks[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(fraction_masks), fraction);
    _mm256_store_si256(reinterpret_cast<__m256i*>(value_masks), _mm256_or_si256(fraction, point));
    _mm256_store_si256(reinterpret_cast<__m256i*>(point_masks), point);
    _mm256_store_si256(reinterpret_cast<__m256i*>(digit_masks),
                       _mm256_or_si256(fraction, _mm256_srli_epi32(point, 1)));

    // Lane i of each half takes lane i - 1.
    const __m512i from_before = bytes_before();
    const __m512i zero_digit = _mm512_set1_epi8('0');
    __m512i sums[4];
    unsigned read = 0;
    for (int h = 0; h < 4; ++h) {
        // The 32 bytes before each mantissa's end, or, where a number is too short to have
        // them, bytes it does not read.
        const auto window = [&](int i) {
            const char* const from = ends[i] - 36;
            return _mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(from < at[i] - 32 ? at[i] - 32 : from));
        };
        const __m512i x = _mm512_mask_broadcast_i64x4(
            _mm512_maskz_broadcast_i64x4(0x0F, window(2 * h)), 0xF0, window(2 * h + 1));
        const std::uint64_t digits = _cvtmask64_u64(
            _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, zero_digit), _mm512_set1_epi8(9)));
        const std::uint64_t points =
            _cvtmask64_u64(_mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('.')));
        const std::uint64_t bad = (digit_masks[h] & ~digits) | (point_masks[h] & ~points);
        read |= (static_cast<unsigned>(static_cast<std::uint32_t>(bad) == 0) |
                 static_cast<unsigned>((bad >> 32) == 0) << 1)
                << (2 * h);
        const __m512i joined = _mm512_mask_blend_epi8(
            _cvtu64_mask64(fraction_masks[h]),
            _mm512_maskz_permutexvar_epi8(~std::uint64_t{0}, from_before, x), x);
        sums[h] =
            lane_values(_mm512_maskz_sub_epi8(_cvtu64_mask64(value_masks[h]), joined, zero_digit));
    }
    __m512i firsts;
    __m512i lasts;
    const __m512i w = eight_values(sums, firsts, lasts);  // below 10^19
    const __m512i e = _mm512_maskz_cvtepi32_epi64(0xFF, _mm256_sub_epi32(tail_exponents, n));
    __mmask8 done;
    const __m512d scaled = scale_eight(w, e, done);
    const auto negative = static_cast<__mmask8>(_mm256_movemask_ps(_mm256_castsi256_ps(minus)));
    const __mmask8 ok = shape & done & static_cast<__mmask8>(read);
    _mm512_mask_storeu_pd(values, ok,
                          _mm512_castsi512_pd(_mm512_mask_or_epi64(
                              _mm512_castpd_si512(scaled), negative, _mm512_castpd_si512(scaled),
                              _mm512_set1_epi64(INT64_MIN))));
    return ok;
}
