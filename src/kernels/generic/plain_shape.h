// The plainest shape of a decimal as the vector scanners of the mean pass read it: from the
// number's end, which the pass finds with its start, the 32 bytes before it are classified
// into bit masks, bit j for the byte 32 - j before the end, so that the number's own bytes are
// the top bits. The classifying is each kernel set's; what the masks say is written here once.
#pragma once

#include <bit>
#include <cstdint>

#include "kernels/kernels.hpp"

namespace mean {

// Bit masks of 32 bytes, bit i for byte i, as every kernel set's second scanner reads them.
struct byte_classes {
    std::uint32_t blanks;  // up to ' ': white space and control characters
    std::uint32_t digits;
    std::uint32_t points;
    std::uint32_t es;     // e or E
    std::uint32_t signs;  // + or -
    std::uint32_t zeros;  // '0'
};

struct plain_shape {
    bool ok;         // an optional '-', then 1 to 20 digits with at most one point
                     // among them, the whole within 31 bytes
    bool negative;   // a leading '-'
    int count;       // the digits, when ok
    int fraction;    // the digits after the point
    int point_lane;  // the point's bit, or -1 when there is none
};

// What the masks of the digits and of the points among the 32 bytes before the end of a number
// of `length` bytes say of it; `negative` when its first byte is '-'.
[[gnu::always_inline]] inline plain_shape plain_shape_of(std::uint64_t length, std::uint32_t digits,
                                                         std::uint32_t points,
                                                         bool negative) noexcept {
    const auto first = static_cast<unsigned>(32 - length) & 63;  // the first byte's bit
    const auto own = static_cast<std::uint32_t>(~std::uint64_t{0} << first);
    const std::uint32_t point = points & own;
    const auto sign = static_cast<std::uint32_t>(std::uint64_t{negative} << first);
    // Every byte but the digits is the point or the sign, and there is at most one point.
    const bool shape = (((own & ~digits) ^ point ^ sign) | (point & (point - 1))) == 0;
    const int count = static_cast<int>(length) - ((point != 0) + negative);
    // The point's bit: -1 when there is none, as countl_zero(0) is 32.
    const int point_lane = 31 - std::countl_zero(point);
    // (Joined with & rather than &&: one branch on all of the conditions, not one each.)
    return {static_cast<bool>(shape & (length <= 31) & (static_cast<unsigned>(count - 1) <= 19)),
            negative, count, (31 - point_lane) & 31, point_lane};
}

// 32 bytes of 0, then 32 of 0xFF: the 32 bytes at last_lanes + n, for 0 <= n <= 32, are 0xFF in
// their last n lanes and 0 in the others, so that a scanner's mask of the last n lanes of 32,
// or of a half of them, is one load.
alignas(64) inline constexpr unsigned char last_lanes[64] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// What join_groups kept of the digits: all of them, or, of 20 digits from 2^64 up, the first
// 19, the last cut, a 0 or not (as the scalar scanner keeps them, so that such a number is
// read once, not left to scan_full).
enum class joined { whole, cut_zero, cut };

// The value of `count` (up to 20) digits that fill the last lanes of 32, summed in groups of
// eight: `front` holds the groups of lanes 0 to 7 (low half) and 8 to 15 (high half), of which
// only lanes 12 to 15 may hold digits, and `back` those of lanes 16 to 23 and 24 to 31. Only 20
// digits can fail to fit 64 bits; their first 19 always do, being below 10^19.
[[gnu::always_inline]] inline joined join_groups(std::uint64_t front, std::uint64_t back, int count,
                                                 std::uint64_t& value) noexcept {
    const std::uint64_t last_sixteen = (back & 0xFFFFFFFF) * 100000000 + (back >> 32);
    if (count < 20) [[likely]] {
        value = (front >> 32) * 10000000000000000 + last_sixteen;
        return joined::whole;
    }
    if (!__builtin_mul_overflow(front >> 32, std::uint64_t{10000000000000000}, &value) &&
        !__builtin_add_overflow(value, last_sixteen, &value)) {
        return joined::whole;
    }
    value = (front >> 32) * 1000000000000000 + last_sixteen / 10;
    return last_sixteen % 10 == 0 ? joined::cut_zero : joined::cut;
}

// The record of a plain number of that shape and digits. A number cut to 19 digits is
// 10 × value (plus the digit cut) at 10^-fraction; it is not plain as the pass takes it, for
// its power of ten may be positive and its digits inexact.
[[gnu::always_inline]] inline scanned decimal_of(const plain_shape& shape, std::uint64_t value,
                                                 joined digits, decimal& number) noexcept {
    number.digits = value;
    number.exponent = -shape.fraction;
    number.negative = shape.negative;
    number.truncated = false;
    if (digits == joined::whole) [[likely]] {
        return scanned::plain;
    }
    number.exponent += 1;
    number.truncated = digits == joined::cut;
    return scanned::exponent;
}

}  // namespace mean
