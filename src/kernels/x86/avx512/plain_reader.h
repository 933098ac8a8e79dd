// The AVX-512 set's shorter way for eight numbers of the commonest plain shape, two to a vector
// as the pairs scanner places them: an optional '-', then 1 to 20 digits that fit 64 bits with at
// most one point among them, and with `tails` a mantissa so before the exponent %e writes, e
// or E, a sign and two digits. Included by its file inside its target region, after
// group_reader.h, exponent_tails.h, plain_lanes.h and divide_exactly.h.
//
// Where the pairs scanner works out each number's masks from the bit masks of its bytes in
// general registers, two numbers at a time, this reader makes them for the eight at once in the
// 32-bit lanes of a vector: the lane masks of the digits and the points come out of the byte
// comparisons, and the point's place, the digits' count and the lanes to keep follow from
// them and from the lengths. It reads all eight or none, and writes no record.
//
// The masks go from the comparisons into the vector through general registers, not through
// memory: a vector load of four words just stored waits for the stores, for a load across
// several stores cannot take its bytes from them, and so written this reader read %.15g no
// faster than the pairs scanner (in memory; through registers, about 40% faster).

// Reads the eight numbers [at[i], ends[i]) into values[i] where each has that shape and
// divide_exactly converts it, and returns true; `with_exponents` counts those with exponents.
// Otherwise returns false and writes nothing. Reads 32 bytes before each end.
template <bool tails>
[[gnu::always_inline]] inline bool read_eight_plain(const char* const* at, const char* const* ends,
                                                    double* values, int& with_exponents) noexcept {
    // The exponents, and each mantissa's end.
    unsigned with_tails = 0;
    __m256i tail_exponents = _mm256_setzero_si256();
    if constexpr (tails) {
        const __m256i wrong = exponent_tails_of(last_fours(ends), tail_exponents);
        with_tails = _mm256_cmpeq_epi32_mask(wrong, _mm256_setzero_si256());
        tail_exponents = _mm256_maskz_mov_epi32(static_cast<__mmask8>(with_tails), tail_exponents);
    }
    const char* end[8];
    for (int i = 0; i < 8; ++i)
        end[i] = ends[i] - 4 * ((with_tails >> i) & 1);

    // The 32 bytes before each mantissa's end, two numbers to a vector, and the lane masks of
    // their digits and points, bit j for lane j of a number's 32 bytes: as 64-bit masks they
    // are the 32-bit masks of the eight numbers in order.
    __m512i x[4];
    long long digit_bits[4];
    long long point_bits[4];
    for (int h = 0; h < 4; ++h) {
        x[h] = _mm512_mask_broadcast_i64x4(
            _mm512_maskz_broadcast_i64x4(
                0x0F, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end[2 * h] - 32))),
            0xF0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end[2 * h + 1] - 32)));
        digit_bits[h] = static_cast<long long>(_cvtmask64_u64(_mm512_cmple_epu8_mask(
            _mm512_sub_epi8(x[h], _mm512_set1_epi8('0')), _mm512_set1_epi8(9))));
        point_bits[h] = static_cast<long long>(
            _cvtmask64_u64(_mm512_cmpeq_epi8_mask(x[h], _mm512_set1_epi8('.'))));
    }
    const __m256i ones = _mm256_set1_epi32(-1);
    const plain_lanes lanes = plain_lanes_of(
        at, end, _mm256_setr_epi64x(digit_bits[0], digit_bits[1], digit_bits[2], digit_bits[3]),
        _mm256_setr_epi64x(point_bits[0], point_bits[1], point_bits[2], point_bits[3]));
    const __m256i point = lanes.point;
    const __m256i no_point = lanes.no_point;
    const __m256i count = lanes.count;
    const __m256i minus = lanes.minus;
    const __mmask8 shaped =
        _mm256_cmpeq_epi32_mask(lanes.stray, _mm256_setzero_si256()) &
        _mm256_cmple_epu32_mask(_mm256_add_epi32(count, ones), _mm256_set1_epi32(19));
    // The lanes up to the point, none where there is none; the digits after it, 31 less the
    // point's lane, the exponent of its bit as a float; and the count's last lanes.
    const __m256i squeeze =
        _mm256_andnot_si256(no_point, _mm256_xor_si256(point, _mm256_add_epi32(point, ones)));
    const __m256i point_lane =
        _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepu32_ps(point)), 23),
                         _mm256_set1_epi32(127));
    const __m256i fraction =
        _mm256_andnot_si256(no_point, _mm256_sub_epi32(_mm256_set1_epi32(31), point_lane));
    const __m256i kept = _mm256_sllv_epi32(ones, _mm256_sub_epi32(_mm256_set1_epi32(32), count));

    // Each byte up to the point takes the one before it: the point is squeezed out and the
    // digits are the half's last lanes.
    const __m512i before = bytes_before();
    const auto word = [](__m256i v, int h) {
        return static_cast<std::uint64_t>(h == 0   ? _mm256_extract_epi64(v, 0)
                                          : h == 1 ? _mm256_extract_epi64(v, 1)
                                          : h == 2 ? _mm256_extract_epi64(v, 2)
                                                   : _mm256_extract_epi64(v, 3));
    };
    __m512i sums[4];
    for (int h = 0; h < 4; ++h) {
        const __m512i joined =
            _mm512_mask_permutexvar_epi8(x[h], _cvtu64_mask64(word(squeeze, h)), before, x[h]);
        sums[h] = lane_values(
            _mm512_maskz_sub_epi8(_cvtu64_mask64(word(kept, h)), joined, _mm512_set1_epi8('0')));
    }
    __m512i high;
    __m512i low;
    const __m512i w = eight_values(sums, high, low);
    const __mmask8 fits = _mm512_cmplt_epu64_mask(high, _mm512_set1_epi64(1844)) |
                          (_mm512_cmpeq_epi64_mask(high, _mm512_set1_epi64(1844)) &
                           _mm512_cmple_epu64_mask(low, _mm512_set1_epi64(6744073709551615)));
    // The power of ten to divide by, the exponent taken from the digits after the point: 0 to
    // 22 only.
    const __m512i divisors =
        _mm512_maskz_cvtepi32_epi64(0xFF, _mm256_sub_epi32(fraction, tail_exponents));
    __mmask8 exact;
    const __m512d quotients = divide_exactly(w, divisors, exact);
    if ((shaped & fits & exact & _mm512_cmple_epu64_mask(divisors, _mm512_set1_epi64(22))) != 0xFF)
        return false;
    const auto negative = static_cast<__mmask8>(_mm256_movemask_ps(_mm256_castsi256_ps(minus)));
    _mm512_storeu_pd(values, _mm512_castsi512_pd(_mm512_mask_or_epi64(
                                 _mm512_castpd_si512(quotients), negative,
                                 _mm512_castpd_si512(quotients), _mm512_set1_epi64(INT64_MIN))));
    with_exponents = std::popcount(with_tails);
    return true;
}
