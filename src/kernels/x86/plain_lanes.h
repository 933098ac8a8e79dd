// What the AVX2 and AVX-512 sets' readers of eight longer plain numbers make of the eight at
// once, in the 32-bit lanes of a vector: each number's lane masks of the 32 bytes that end at
// its end, bit j for byte j, checked for the shape both read, an optional '-' and 1 to 20
// digits with at most one point among them. Included by both sets' files inside their target
// regions, after exponent_tails.h and before their plain_reader.h.

struct plain_lanes {
    __m256i minus;     // all ones where the number starts with '-'
    __m256i point;     // the point's bit, 0 where there is none
    __m256i no_point;  // all ones where there is none
    __m256i count;     // the count of digits
    __m256i stray;     // 0 where every byte is a digit, the point or the leading '-', and at
                       // most one is a point
};

// The lanes of the eight numbers [at[i], ends[i]), from the masks of their digits and points,
// two numbers to a 64-bit word. (A number longer than 32 bytes has no lane of its own, so none
// of its bytes is a digit, and its count is more than 20.)
[[gnu::always_inline]] inline plain_lanes plain_lanes_of(const char* const* at,
                                                         const char* const* ends,
                                                         __m256i digit_words,
                                                         __m256i point_words) noexcept {
    const auto length_of = [&](int i) { return static_cast<int>(ends[i] - at[i]); };
    const __m256i length =
        _mm256_setr_epi32(length_of(0), length_of(1), length_of(2), length_of(3), length_of(4),
                          length_of(5), length_of(6), length_of(7));
    plain_lanes lanes;
    lanes.minus = leading_minus(at);
    const __m256i minus = lanes.minus;
    const __m256i ones = _mm256_set1_epi32(-1);
    const __m256i first = _mm256_sub_epi32(_mm256_set1_epi32(32), length);  // the first lane
    const __m256i own = _mm256_sllv_epi32(ones, first);
    const __m256i digits = _mm256_and_si256(own, digit_words);
    lanes.point = _mm256_and_si256(own, point_words);
    const __m256i sign = _mm256_sllv_epi32(_mm256_srli_epi32(minus, 31), first);
    lanes.no_point = _mm256_cmpeq_epi32(lanes.point, _mm256_setzero_si256());
    lanes.stray = _mm256_or_si256(
        _mm256_andnot_si256(_mm256_or_si256(_mm256_or_si256(digits, lanes.point), sign), own),
        _mm256_and_si256(lanes.point, _mm256_add_epi32(lanes.point, ones)));
    lanes.count = _mm256_add_epi32(_mm256_add_epi32(length, minus),
                                   _mm256_andnot_si256(lanes.no_point, ones));
    return lanes;
}
