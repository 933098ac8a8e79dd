// The exponent that %e writes for magnitudes from 10^-99 to 10^99, read from the last four bytes
// of a number. Included by a set's file inside its target region, before its group reader,
// which reads mantissas before such exponents eight at a time, and the same bytes so.

// What a group reader returns for eight numbers that it was to read as mantissas with such
// exponents, where one of them does not end so: no number read, nor any other bit.
constexpr unsigned tails_refused = 1u << 16;

// The exponent that %e writes for magnitudes from 10^-99 to 10^99, e or E, a sign and two
// digits, as the last four bytes of the number [q, end) with a mantissa before them: its value
// in `value` where `wrong` is 0. The expected bytes are taken away, e's case aside: what is
// left is 0, then 0 ('+') or 2 ('-'), then the two digits' values; a byte below its mark
// leaves its top bit set (and may borrow from the next, which is then not read).
struct two_digit_exponent {
    std::uint32_t wrong;
    std::int32_t value;
};
[[gnu::always_inline]] inline two_digit_exponent two_digit_exponent_of(const char* q,
                                                                       const char* end) noexcept {
    const std::uint32_t left = (load_le32(end - 4) | 0x20) - 0x30302B65;
    const std::uint32_t wrong = (left & 0xFDFF) | (((left + 0x76760000) | left) & 0x80800000) |
                                static_cast<std::uint32_t>(end - q <= 4);
    const auto magnitude = static_cast<std::int32_t>(10 * ((left >> 16) & 0xFF) + (left >> 24));
    const auto minus = static_cast<std::int32_t>(left >> 9) & 1;
    return {wrong, (magnitude ^ -minus) + minus};
}
