// The second scanner of the kernel sets with few cheap bit masks (SSE2, NEON and the portable
// set): the text is walked by runs of digits in a digit bitmap, and the digits are read eight
// at a time in general registers. Included by a set's file inside its target region; the set
// gives the digit bitmap:
//   std::uint32_t Ops::digit_mask(const char* p)   bit i set when p[i] is a digit, i < 32

// The value of the `length` (0 to 19) ASCII digits at p.
[[gnu::always_inline]] inline std::uint64_t digit_run(const char* p, int length) noexcept {
    if (length <= 8) return leading_digits_value(p, length);
    const std::uint64_t head = length <= 16 ? leading_digits_value(p, length - 8)
                                            : leading_digits_value(p, length - 16) * 100000000 +
                                                  leading_digits_value(p + length - 16, 8);
    return head * 100000000 + leading_digits_value(p + length - 8, 8);
}

// Scans the common shapes of a decimal at q into `number`: an optional sign, digits with at
// most one point, and optionally e or E, an optional sign and 1 to 3 digits, the whole within
// 31 bytes and followed by white space; of more than 19 digits, the first one not 0. Returns
// scanned::plain when there is no exponent and no digit was dropped, scanned::exponent for the
// rest it reads, or scanned::none for
// anything else, which the scalar scanner then decides. The text is walked by runs of digits
// in the digit bitmap of its first 32 bytes; 32 bytes before q and 32 after it must be
// readable.
template <class Ops>
[[gnu::always_inline]] inline scanned scan_runs(const char* q, decimal& number) noexcept {
    const std::uint64_t digits = Ops::digit_mask(q);  // bits 32 and up are 0
    const bool negative = q[0] == '-';
    const int s = negative | (q[0] == '+');
    const int integer_length = std::countr_one(digits >> s);
    const int point = s + integer_length;
    const bool has_point = q[point] == '.';
    const int fraction_length =
        std::countr_one(digits >> (point + 1)) & -static_cast<int>(has_point);
    const int mantissa_end = point + has_point + fraction_length;
    if (integer_length + fraction_length == 0 || mantissa_end > 31) return scanned::none;
    int end = mantissa_end;
    std::int64_t exponent = 0;
    if ((q[end] | 0x20) == 'e') {
        const int sign = end + 1;
        const bool minus = q[sign] == '-';
        const int first = sign + (minus | (q[sign] == '+'));
        const int count = std::countr_one(digits >> first);
        if (count < 1 || count > 3) return scanned::none;
        const auto e = static_cast<std::int64_t>(leading_digits_value(q + first, count));
        exponent = (e ^ -static_cast<std::int64_t>(minus)) + minus;
        end = first + count;
    }
    if (end > 31 || !is_space(q[end])) return scanned::none;

    // Of the digits before the point and after it, the first 19 are kept.
    const char* const fraction = q + point + has_point;
    int integer_kept = integer_length;
    int fraction_kept = fraction_length;
    bool truncated = false;
    if (integer_length + fraction_length > 19) {
        if (q[s + (q[s] == '.')] == '0') return scanned::none;
        integer_kept = integer_length < 19 ? integer_length : 19;
        fraction_kept = 19 - integer_kept;
        for (const char* d = q + s + integer_kept; d < q + point; ++d)
            truncated |= *d != '0';
        for (const char* d = fraction + fraction_kept; d < q + mantissa_end; ++d)
            truncated |= *d != '0';
    }
    std::uint64_t value;
    const int kept = integer_kept + fraction_kept;
    if (kept <= 8) [[likely]] {
        // Up to eight digits in one word: those before the point from a load at the first
        // digit, the others from a load one byte further on, which skips the point (without a
        // fraction, they are bytes that the count drops). (Two shifts: 8 digits shift by 64.)
        const std::uint64_t before =
            (std::uint64_t{1} << (4 * integer_kept) << (4 * integer_kept)) - 1;
        const std::uint64_t word = (load_le64(q + s) & before) | (load_le64(q + s + 1) & ~before);
        value =
            digit_word_value(((word - 0x3030303030303030) << (4 * (8 - kept))) << (4 * (8 - kept)));
    } else {
        value = digit_run(q + s, integer_kept);
        if (fraction_kept != 0) {
            value =
                value * integer_powers_of_ten[fraction_kept] + digit_run(fraction, fraction_kept);
        }
    }
    number.digits = value;
    number.exponent =
        static_cast<std::int32_t>(exponent + (integer_length - integer_kept) - fraction_kept);
    number.negative = negative;
    number.truncated = truncated;
    // Plain only as the pass takes it: no exponent text, no digit dropped.
    return end != mantissa_end || truncated || integer_kept != integer_length ? scanned::exponent
                                                                              : scanned::plain;
}
