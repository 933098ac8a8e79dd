// The second scanner of the AVX2 and AVX-512 sets: the common shapes beyond the plainest, read
// from bit masks of their bytes. Included by a set's file inside its target region (it needs
// BMI2); the set gives:
//   int Ops::bit_count(std::uint64_t bits)   the number of bits set
//   byte_classes Ops::classify(const char* q)
//        bit masks of the 32 bytes at q (bit i for q[i])
//   joined Ops::mantissa_value(const char* end, int point_lane, int count,
//                              std::uint64_t& value)
//        the value of the `count` (1 to 20) digits that end at `end`, with a point among them
//        in the bit `point_lane` of the 32 bytes before the end (bit j for the byte 32 - j
//        before it; -1 for none), as join_groups keeps them. It reads the 33 bytes before
//        `end`, and any other count gives a value of no meaning, and no fault.

// Scans the common shapes of a decimal at q into `number`: an optional sign, digits with at
// most one point, and optionally e or E, an optional sign and 1 to 3 digits, the whole within
// 31 bytes and followed by white space, with at most 20 digits whose value fits 64 bits, or
// more than 19 from the first that is not 0, of which the first 19 are kept and the rest cut,
// as the scalar scanner keeps them. Returns scanned::plain when there is no exponent and no
// digit was cut, else scanned::exponent; or scanned::none for anything else, which the scalar
// scanner then reads. The shape is read from the masks without
// a branch; reads up to 32 bytes before q and 32 after it.
template <class Ops>
[[gnu::always_inline]] inline scanned scan_masks(const char* q, decimal& number) noexcept {
    const byte_classes classes = Ops::classify(q);
    // q[length] is the first byte up to ' ' (length is 32 when there is none in reach).
    const int length = std::countr_zero(classes.blanks);
    const std::uint64_t digits = classes.digits;
    const std::uint64_t signs = classes.signs;
    const std::uint64_t end_bit = std::uint64_t{1} << length;
    const std::uint64_t all = end_bit - 1;

    // The mantissa runs up to the first e: a sign first, then digits with at most one point.
    const int mantissa_end = std::countr_zero((classes.es & all) | end_bit);
    const std::uint64_t mantissa = (std::uint64_t{1} << mantissa_end) - 1;
    const std::uint64_t body = mantissa & ~(signs & 1);
    const std::uint64_t mantissa_digits = body & digits;
    const std::uint64_t point = body & ~digits;  // if all is well
    // The digits read: all of them, or the first 19 from the first that is not 0.
    std::uint64_t kept = mantissa_digits;
    const std::uint64_t significant = mantissa_digits & ~classes.zeros;
    const std::uint64_t from_first = mantissa_digits & -(significant & -significant);
    bool cut = false;
    int dropped_whole = 0;  // digits cut before the point, which count into the exponent
    if (Ops::bit_count(from_first) > 19) [[unlikely]] {
        kept = _pdep_u64(0x7FFFF, from_first);
        const std::uint64_t dropped = from_first & ~kept;
        cut = (dropped & significant) != 0;
        dropped_whole = Ops::bit_count(dropped & (point != 0 ? point - 1 : ~std::uint64_t{0}));
    }
    const int count = Ops::bit_count(kept);
    // The digits read end at the mantissa's end, or after the last one kept.
    const int kept_end = kept == mantissa_digits ? mantissa_end : 64 - std::countl_zero(kept);
    // The digits after the point, up to that end.
    const int fraction =
        Ops::bit_count(mantissa_digits & -(point << 1) & ((std::uint64_t{1} << kept_end) - 1));
    // The exponent, after the e: perhaps a sign, then 1 to 3 digits.
    const std::uint64_t exponent_part = all & ~(mantissa << 1 | 1);
    const std::uint64_t exponent_sign = (std::uint64_t{2} << mantissa_end) & signs;
    const int exponent_digits = Ops::bit_count(exponent_part & digits);
    const bool has_exponent = mantissa_end != length;
    // (Joined with & rather than &&: one branch on all of the conditions, not one each.)
    const bool exponent_ok = (!has_exponent) | ((static_cast<unsigned>(exponent_digits - 1) <= 2) &
                                                ((exponent_part & ~digits & ~exponent_sign) == 0));
    bool ok = (length <= 31) & is_space(q[length & 31]) & (static_cast<unsigned>(count - 1) <= 19) &
              ((point & ~classes.points) == 0) & ((point & (point - 1)) == 0) & exponent_ok;

    // (A point after the last digit kept is not among the digits read.)
    const bool point_read = point != 0 && (kept == mantissa_digits || point < kept);
    std::uint64_t value;
    // (20 digits here have a leading 0, for more than 19 from the first that is not 0 were cut
    // above, so all of them fit.)
    ok &= Ops::mantissa_value(q + (kept_end > 0 ? kept_end : 1), point_read ? 31 - fraction : -1,
                              count, value) == joined::whole;
    if (!ok) return scanned::none;

    std::int32_t exponent = dropped_whole - fraction;
    if (has_exponent) {
        // The last four bytes, of which the last exponent_digits are the exponent's digits.
        std::uint32_t word = load_le32(q + length - 4);
        const std::uint32_t keep = ~std::uint32_t{0} << (8 * (4 - exponent_digits));
        word = (word & keep) - (0x30303030 & keep);
        const auto e = static_cast<std::int32_t>((word >> 24) + 10 * ((word >> 16) & 0xFF) +
                                                 100 * ((word >> 8) & 0xFF));
        // Negated without a branch: the sign is as likely one way as the other.
        const std::int32_t minus = q[mantissa_end + 1] == '-';
        exponent += (e ^ -minus) + minus;
    }
    number.digits = value;
    number.exponent = exponent;
    number.negative = q[0] == '-';
    number.truncated = cut;
    return has_exponent || kept != mantissa_digits ? scanned::exponent : scanned::plain;
}
