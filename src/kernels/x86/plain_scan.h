// The one-at-a-time scanners' steps in 256-bit vectors, for the AVX2 and AVX-512 sets: bit
// masks of 32 bytes from byte comparisons and movemask, and the scanner of plain numbers that
// reads them. Included by a set's file inside its target region, after digit_groups.h.
//
// The AVX-512 set takes these too, not comparisons into its mask registers: each of its
// masks, and each byte mask made from a length or a point's place, passes between a mask
// register and a general one, and on the AMD EPYC (Zen 4) this project is measured on, those
// moves made a number read one at a time slower (in memory, %.17e read about 4% faster with
// these; the other shapes the same).

// Movemask of a byte comparison: bit i for lane i.
[[gnu::always_inline]] inline std::uint32_t bits_of(__m256i bytes) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
}

// Lanes of v at most `limit`, as unsigned bytes.
[[gnu::always_inline]] inline __m256i up_to(__m256i v, char limit) noexcept {
    return _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(limit)), v);
}

// Bit masks of the 32 bytes at q, as scan_masks.h reads them.
[[gnu::always_inline]] inline byte_classes classify(const char* q) noexcept {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    return {bits_of(up_to(x, ' ')),
            bits_of(up_to(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), 9)),
            bits_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('.'))),
            bits_of(_mm256_cmpeq_epi8(_mm256_or_si256(x, _mm256_set1_epi8(0x20)),
                                      _mm256_set1_epi8('e'))),
            bits_of(_mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('+')),
                                    _mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')))),
            bits_of(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('0')))};
}

// Bit i set when p[i] is a digit, for i from 0 to 31.
[[gnu::always_inline]] inline std::uint32_t digit_mask(const char* p) noexcept {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return bits_of(up_to(_mm256_sub_epi8(x, _mm256_set1_epi8('0')), 9));
}

// The mask of the last n lanes of 32, 0 <= n <= 32.
[[gnu::always_inline]] inline __m256i lanes_from(int n) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(last_lanes + n));
}

// The value of the `count` digits that end at `end`, the point in `point_lane`, as
// scan_masks.h has it: the lanes above the point are taken from 32 bytes before the end, the
// others from one byte further on, which squeezes the point out; the lanes of digits are kept.
[[gnu::always_inline]] inline joined mantissa_value(const char* end, int point_lane, int count,
                                                    std::uint64_t& value) noexcept {
    const __m256i from_right = lanes_from(31 - point_lane);
    const __m256i kept = lanes_from(count);
    const __m256i joined = _mm256_blendv_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 33)),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 32)), from_right);
    std::uint64_t front;
    std::uint64_t back;
    eight_digit_groups(_mm256_and_si256(_mm256_sub_epi8(joined, _mm256_set1_epi8('0')), kept),
                       front, back);
    return join_groups(front, back, count, value);
}

// Scans the plainest and commonest shape of a decimal, the text [q, end) that white space
// follows, into `number`: an optional '-', then 1 to 20 digits, with at most one point among
// them, the whole within 31 bytes. Returns scanned::plain, or scanned::exponent for 20 digits
// cut to 19 (see join_groups), or scanned::none for anything else, which scan_full then reads. The
// 32 bytes before the end are classified into bit masks, bit j for lane j, so that the number's own
// bytes are the top `length` lanes. Reads up to 33 bytes before the end.
[[gnu::always_inline]] inline scanned scan_plain(const char* q, const char* end,
                                                 decimal& number) noexcept {
    const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end - 32));
    const plain_shape shape =
        plain_shape_of(static_cast<std::uint64_t>(end - q),
                       bits_of(up_to(_mm256_sub_epi8(right, _mm256_set1_epi8('0')), 9)),
                       bits_of(_mm256_cmpeq_epi8(right, _mm256_set1_epi8('.'))), q[0] == '-');
    if (!shape.ok) return scanned::none;
    std::uint64_t value;
    const joined kept = mantissa_value(end, shape.point_lane, shape.count, value);
    return decimal_of(shape, value, kept, number);
}
