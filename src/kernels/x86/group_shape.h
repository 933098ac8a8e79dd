// What the group readers of the AVX2 and AVX-512 sets read of four short numbers, from bit
// masks of their bytes, written once for both. Each number of up to 16 bytes ends in the last
// byte of a 16-byte lane, so that bit 16 i + j of a mask is byte j of number i's lane, and the
// number's own bytes are its lane's last `length`. The shape read is an optional sign, digits
// with at most one point, and, where the data has exponents, an exponent of 1 to 3 digits with
// an optional sign, as %e writes them. Included by the sets' files inside their target regions,
// after x86/lanes.h.

// The classes of the four lanes' bytes, bit 16 i + j for byte j of lane i.
struct group_bytes {
    std::uint64_t own;     // the numbers' own bytes
    std::uint64_t digits;  // the rest only among them, but for the signs
    std::uint64_t points;
    std::uint64_t minus;  // '-' and, in signs, '+' too, anywhere in the lanes
    std::uint64_t signs;
    std::uint64_t es;  // e or E, where the data has exponents
    unsigned fit;      // bit i: number i has at most 16 bytes
};

// What the masks say of the four numbers.
struct group_shape {
    std::uint64_t mantissa_digits;  // the digits before the e, if any
    std::uint64_t from_point;       // the mantissa's bytes from its point on
    std::uint64_t from_e;           // the bytes from the e on
    std::uint64_t exponent_digits;
    std::uint64_t minus_exponent;  // the last bit of each lane whose exponent has a '-'
    std::uint64_t sign;            // a leading sign
    unsigned ok;                   // bit i: number i has the shape
    unsigned negative;
    unsigned with_exponent;
};

template <bool exponents>
[[gnu::always_inline]] inline group_shape shape_of_group(const group_bytes& bytes) noexcept {
    const std::uint64_t own = bytes.own;
    const std::uint64_t digits = own & bytes.digits;
    const std::uint64_t points = own & bytes.points;
    const std::uint64_t first = own & ~((own << 1) & ~first_bits<16>);
    // The mantissa is the number up to its e, if any; what follows the e is its exponent.
    std::uint64_t mantissa = own;
    std::uint64_t bad = 0;
    std::uint64_t es = 0;
    std::uint64_t from_e = 0;
    std::uint64_t exponent_digits = 0;
    std::uint64_t exponent_sign = 0;
    if constexpr (exponents) {
        es = own & bytes.es;
        from_e = from_first_set<16>(es);
        mantissa = own & ~from_e;
        exponent_sign = (es << 1) & ~first_bits<16> & bytes.signs;
        const std::uint64_t body = from_e & ~es;
        exponent_digits = body & digits;
        // Refused here: a second e; after the e, anything but a sign first and digits; more
        // than 3 digits; none.
        bad = (es & (from_e << 1) & ~first_bits<16>) | (body & ~(exponent_digits | exponent_sign)) |
              (exponent_digits & ~(first_bits<16> * 0xE000)) |
              (lanes_with_any<16>(es) & ~lanes_with_any<16>(exponent_digits));
    }
    const std::uint64_t sign = first & bytes.signs;
    const std::uint64_t mantissa_digits = mantissa & digits;
    const std::uint64_t mantissa_points = mantissa & points;
    const std::uint64_t spread_point = from_first_set<16>(mantissa_points);
    // Refused here: in the mantissa, a byte that is not a digit, the point or a leading sign; a
    // second point; a point first in the lane (16 bytes with a point first would need 10^16);
    // no digit at all.
    bad |= (mantissa & ~(mantissa_digits | mantissa_points | sign)) |
           (mantissa_points & (spread_point << 1) & ~first_bits<16>) |
           (mantissa_points & first_bits<16>);
    return {
        mantissa_digits,
        spread_point & mantissa,
        from_e,
        exponent_digits,
        lanes_with_any<16>(exponent_sign & bytes.minus),
        sign,
        lane_bits<16>(lanes_with_any<16>(mantissa_digits) & ~lanes_with_any<16>(bad)) & bytes.fit,
        lane_bits<16>(lanes_with_any<16>(sign & bytes.minus)),
        lane_bits<16>(lanes_with_any<16>(es))};
}

// Which of the four lanes hold exactly one of the words, from the masks of the bytes that
// match the word's pattern: in the lanes' last 3 bytes ("nan", "inf") or 8 ("infinity"), as
// `word_bytes` marks them, with a sign before or nothing.
[[gnu::always_inline]] inline unsigned lanes_with_word(const group_bytes& bytes,
                                                       const group_shape& shape,
                                                       std::uint64_t matched,
                                                       std::uint64_t word_bytes) noexcept {
    return lane_bits<16>(~lanes_with_any<16>((word_bytes & ~(matched & bytes.own)) |
                                             (bytes.own & ~word_bytes & ~shape.sign))) &
           bytes.fit;
}

// The lanes that hold nan, and those that hold inf or infinity, in any case: `matched(low,
// high)` gives the mask of the bytes of the lowered lanes that equal a pattern whose bytes 8 to
// 11 are the 32 bits `low` and 12 to 15 `high`, the words' letters in the lanes' last bytes.
template <class Match>
[[gnu::always_inline]] inline void lanes_with_words(const group_bytes& bytes,
                                                    const group_shape& shape, Match matched,
                                                    unsigned& nan, unsigned& infinity) noexcept {
    constexpr std::uint64_t three = first_bits<16> * 0xE000;
    nan = lanes_with_word(bytes, shape, matched(0, 0x6E616E00), three);        // "nan"
    infinity = lanes_with_word(bytes, shape, matched(0, 0x666E6900), three) |  // "inf"
               lanes_with_word(bytes, shape, matched(0x69666E69, 0x7974696E),
                               first_bits<16> * 0xFF00);  // "infinity"
}

// Whether eight short numbers, the lanes of two groups of four (with the masks `own` and
// `digits` of their bytes and the bits `fit` as a group reader's four_lanes holds them), are
// decimals with the point in one place from the end, as %.Nf writes them, an optional '-'
// first: if so, the point's place in each lane and the leading minus signs. `points(lanes)` and
// `minus(lanes)` give the masks of those bytes. Tested in steps, the lengths first, so that
// other numbers are soon left to the general way.
struct fixed_points {
    int place;
    std::uint64_t signs[2];
};
template <class Lanes, class Points, class Minus>
[[gnu::always_inline]] inline bool fixed_point_shape(const Lanes& first, const Lanes& second,
                                                     Points points, Minus minus,
                                                     fixed_points& shape) noexcept {
    if ((first.fit & second.fit) != 0xF) return false;
    const std::uint64_t first_points = first.own & points(first);
    shape.place = std::countr_zero(first_points | 0x10000);
    const std::uint64_t row = first_bits<16> << (shape.place & 15);
    if (first_points != row || (second.own & points(second)) != row) return false;
    std::uint64_t wrong = 0;
    const Lanes* const both[2] = {&first, &second};
    for (int half = 0; half < 2; ++half) {
        const Lanes& lanes = *both[half];
        const std::uint64_t lead = lanes.own & ~((lanes.own << 1) & ~first_bits<16>);
        shape.signs[half] = lead & minus(lanes);
        // Every byte a digit, the point or the sign, and a digit in every number.
        wrong |= (lanes.own & ~(lanes.digits | row | shape.signs[half])) |
                 (last_bits<16> & ~lanes_with_any<16>(lanes.own & lanes.digits));
    }
    return wrong == 0;
}
