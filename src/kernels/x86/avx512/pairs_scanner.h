// The AVX-512 set's pairs scanner: longer plain numbers two to a vector. Included by its
// file inside its target region, after lanes.h and divide_exactly.h.

// Longer plain numbers are scanned eight or four at a time, two to a vector, one in each 256-bit
// half, its last byte in the half's last byte: scan_plain for several numbers at once, a
// leading '+' allowed too. With `tails`, a number that ends in the exponent %e writes, e or E,
// a sign and two digits (two_digit_exponent_of), is scanned so up to its e, and its exponent
// added: the small numbers among %g's plain ones are read with them.

// scan_plain for the numbers index[0] to index[2 × pairs - 1] of at and ends, a leading '+'
// allowed too, and with `tails` mantissas before such exponents, two to a vector, into numbers
// and shapes; those that divide_exactly converts are given in values, as scanned::converted,
// and have no record; those with exponents are scanned::exponent. Returns how many it read,
// and in `with_exponents` how many of those had exponents.
template <int pairs, bool with_tails>
[[gnu::always_inline]] inline int scan_plain_pairs(const int* index, const char* const* at,
                                                   const char* const* ends, decimal* numbers,
                                                   scanned* shapes, double* values,
                                                   int& with_exponents) noexcept {
    // Each byte up to the point takes the one before it: the point is squeezed out and the
    // digits stay where their places say.
    const __m512i before = bytes_before();
    __m512i groups[4];
    __m512i digit_values[4];
    alignas(64) std::int64_t fraction[8] = {};
    unsigned ok = 0;
    unsigned negative = 0;
    // The numbers' exponents of e, a sign and two digits, all at once; 0 where there is none.
    const auto last_four = [&](int j) {
        return j < 2 * pairs ? static_cast<int>(load_le32(ends[index[j]] - 4)) : 0;
    };
    unsigned tails = 0;
    __m512i exponents = _mm512_setzero_si512();
    if constexpr (with_tails) {
        __m256i tail_exponents;
        const __m256i wrong = exponent_tails_of(
            _mm256_setr_epi32(last_four(0), last_four(1), last_four(2), last_four(3), last_four(4),
                              last_four(5), last_four(6), last_four(7)),
            tail_exponents);
        tails = _mm256_cmpeq_epi32_mask(wrong, _mm256_setzero_si256()) & ((1u << 2 * pairs) - 1);
        exponents = _mm512_maskz_cvtepi32_epi64(static_cast<__mmask8>(tails), tail_exponents);
    }
    for (int pair = 0; pair < pairs; ++pair) {
        const char* const first[2] = {at[index[2 * pair]], at[index[2 * pair + 1]]};
        const char* const end[2] = {
            ends[index[2 * pair]] - 4 * ((tails >> 2 * pair) & 1),
            ends[index[2 * pair + 1]] - 4 * ((tails >> (2 * pair + 1)) & 1)};
        const __m512i x = _mm512_maskz_inserti64x4(
            0xFF,
            _mm512_maskz_inserti64x4(
                0xFF, _mm512_setzero_si512(),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end[0] - 32)), 0),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end[1] - 32)), 1);
        // The numbers' own bytes are the halves' last `length`.
        const auto length_0 = static_cast<std::uint64_t>(end[0] - first[0]);
        const auto length_1 = static_cast<std::uint64_t>(end[1] - first[1]);
        const std::uint64_t own =
            static_cast<std::uint32_t>(~std::uint64_t{0} << ((32 - length_0) & 63)) |
            (~std::uint64_t{0} << ((32 - length_1) & 63)) << 32;
        const std::uint64_t digits =
            own &
            _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
        const std::uint64_t points = own & _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('.'));
        const std::uint64_t minus = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-'));
        const std::uint64_t sign =
            own & ~((own << 1) &
                    ~first_bits<32>)&(minus | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('+')));
        const std::uint64_t from_point = from_first_set<32>(points);
        // Refused here: a byte that is not a digit, the point or a leading sign; a second point;
        // no digit at all; more than 31 bytes.
        const std::uint64_t bad =
            (own & ~(digits | points | sign)) | (points & (from_point << 1) & ~first_bits<32>);
        ok |= static_cast<unsigned>(
                  lane_bits<32>(lanes_with_any<32>(digits) & ~lanes_with_any<32>(bad)) &
                  ((length_0 <= 31) | (length_1 <= 31) << 1))
              << 2 * pair;
        negative |= static_cast<unsigned>(lane_bits<32>(lanes_with_any<32>(sign & minus)))
                    << 2 * pair;
        const std::uint64_t after_point = from_point & ~points;
        fraction[2 * pair] = std::popcount(static_cast<std::uint32_t>(after_point));
        fraction[2 * pair + 1] = std::popcount(after_point >> 32);
        // In a half with a point, the bytes up to it.
        const std::uint64_t squeeze =
            (~from_point | points) & (lanes_with_any<32>(points) >> 31) * 0xFFFFFFFF;
        const __m512i values = _mm512_maskz_sub_epi8(digits, x, _mm512_set1_epi8('0'));
        const __m512i squeezed = _mm512_mask_permutexvar_epi8(values, squeeze, before, values);
        digit_values[pair] = squeezed;
        const __m512i pair_sums = _mm512_maddubs_epi16(squeezed, _mm512_set1_epi16(0x010A));
        const __m512i fours = _mm512_madd_epi16(pair_sums, _mm512_set1_epi32(0x00010064));
        const __m512i eights =
            _mm512_madd_epi16(_mm512_packus_epi32(fours, fours), _mm512_set1_epi32(0x00012710));
        groups[pair] =
            _mm512_add_epi64(_mm512_maskz_mul_epu32(0xFF, eights, _mm512_set1_epi64(100000000)),
                             _mm512_maskz_srli_epi64(0xFF, eights, 32));
    }
    // Up to 20 digits end each half: its first 16 bytes hold up to 4 of them, the rest 16.
    const __m512i tops = _mm512_set_epi64(0, 0, 0, 0, 12, 8, 4, 0);
    const __m512i rests = _mm512_set_epi64(0, 0, 0, 0, 14, 10, 6, 2);
    __m512i top = _mm512_permutex2var_epi64(groups[0], tops, groups[1]);
    __m512i rest = _mm512_permutex2var_epi64(groups[0], rests, groups[1]);
    if constexpr (pairs == 4) {
        top = _mm512_maskz_shuffle_i64x2(
            0xFF, top, _mm512_permutex2var_epi64(groups[2], tops, groups[3]), 0x44);
        rest = _mm512_maskz_shuffle_i64x2(
            0xFF, rest, _mm512_permutex2var_epi64(groups[2], rests, groups[3]), 0x44);
    }
    const __m512i value = _mm512_add_epi64(
        _mm512_maskz_mullo_epi64(0xFF, top, _mm512_set1_epi64(10000000000000000)), rest);
    // 20 digits fit 64 bits up to 18446744073709551615; no more than 20 after the point.
    const __m512i fractions = _mm512_load_si512(fraction);
    const unsigned shaped = ok & _mm512_cmple_epu64_mask(fractions, _mm512_set1_epi64(20));
    // The power of ten to divide by, the exponent taken from the digits after the point: only
    // 0 to 22 is divided by (the others, a 0 in their place, are left).
    const __m512i divisors = _mm512_sub_epi64(fractions, exponents);
    const __mmask8 dividing = _mm512_cmple_epu64_mask(divisors, _mm512_set1_epi64(22));
    const unsigned fits = _mm512_cmplt_epu64_mask(top, _mm512_set1_epi64(1844)) |
                          (_mm512_cmpeq_epi64_mask(top, _mm512_set1_epi64(1844)) &
                           _mm512_cmple_epu64_mask(rest, _mm512_set1_epi64(6744073709551615)));
    const unsigned read = shaped & fits;
    // 20 digits that do not fit are cut to their first 19, and the record says so.
    const unsigned cut =
        shaped & ~fits & _mm512_cmplt_epu64_mask(top, _mm512_set1_epi64(10000)) & 0xFF;
    // More than 20 digits from the first that is not 0: the first 19 kept, the rest cut, as
    // the scalar reader keeps them; and digits that fit with more than 20 after the point.
    const unsigned many = ok & _mm512_cmpge_epu64_mask(top, _mm512_set1_epi64(10000)) & 0xFF;
    const unsigned deep = ok & ~shaped & fits & 0xFF;
    __mmask8 exact;
    const __m512d quotients =
        divide_exactly(value, _mm512_maskz_mov_epi64(dividing, divisors), exact);
    // Of the numbers with exponents, only those that one rounding converts: where the others
    // are many, as in %.17e, whether the check converts a number goes either way at random, and
    // a branch on it would cost more than the check saves.
    const unsigned converted =
        read & exact & dividing &
        (~tails | _mm512_cmple_epu64_mask(value, _mm512_set1_epi64(std::int64_t{1} << 53)));
    alignas(64) std::int64_t exponent[8];
    _mm512_store_si512(exponent, exponents);
    alignas(64) std::uint64_t digits[8];
    alignas(64) double signed_quotients[8];
    _mm512_store_si512(digits, value);
    _mm512_store_si512(
        signed_quotients,
        _mm512_mask_or_epi64(_mm512_castpd_si512(quotients), negative,
                             _mm512_castpd_si512(quotients), _mm512_set1_epi64(INT64_MIN)));
    alignas(64) std::uint64_t tops_and_rests[2][8];
    if ((cut | many | deep) != 0) [[unlikely]] {
        _mm512_store_si512(tops_and_rests[0], top);
        _mm512_store_si512(tops_and_rests[1], rest);
    }
    for (int j = 0; j < 2 * pairs; ++j) {
        const int i = index[j];
        values[i] = signed_quotients[j];
        if (((converted >> j) & 1) != 0) [[likely]] {
            shapes[i] = scanned::converted;
        } else {
            numbers[i].digits = digits[j];
            numbers[i].exponent = static_cast<std::int32_t>(exponent[j] - fraction[j]);
            numbers[i].negative = ((negative >> j) & 1) != 0;
            numbers[i].truncated = false;
            shapes[i] = ((read >> j) & 1) == 0    ? scanned::none
                        : ((tails >> j) & 1) != 0 ? scanned::exponent
                                                  : scanned::plain;
            if (((cut >> j) & 1) != 0) {
                const std::uint64_t last_sixteen = tops_and_rests[1][j];
                numbers[i].digits = tops_and_rests[0][j] * 1000000000000000 + last_sixteen / 10;
                numbers[i].exponent += 1;
                numbers[i].truncated = last_sixteen % 10 != 0;
                shapes[i] = scanned::exponent;
            } else if (((many >> j) & 1) != 0) [[unlikely]] {
                alignas(64) std::uint8_t lanes[64];
                _mm512_store_si512(lanes, digit_values[j / 2]);
                const std::uint8_t* const half = lanes + 32 * (j % 2);
                int lane = 0;
                while (half[lane] == 0)
                    ++lane;
                std::uint64_t kept = 0;
                for (const int stop = lane + 19; lane < stop; ++lane)
                    kept = kept * 10 + half[lane];
                numbers[i].digits = kept;
                numbers[i].exponent += 32 - lane;
                numbers[i].truncated = false;
                for (; lane < 32; ++lane)
                    numbers[i].truncated |= half[lane] != 0;
                shapes[i] = scanned::exponent;
            } else if (((deep >> j) & 1) != 0) {
                shapes[i] = scanned::exponent;
            }
        }
    }
    const unsigned scanned_ones = read | cut | many | deep;
    with_exponents = std::popcount(scanned_ones & tails);
    return std::popcount(scanned_ones);
}
