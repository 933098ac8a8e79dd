// The record of a scanned number, one for every scanner of the tool: the scalar scanner of the
// grammar fills it, the vector scanners of the mean pass fill its decimal for the common
// shapes, and the conversion turns it into the double.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mean {

// The longest text of one number that the mean pass reads.
inline constexpr std::size_t max_number_length = std::size_t{1} << 16;

// A decimal: ±digits × 10^exponent, or a little more than that when `truncated` (more
// significant digits followed, not all of them 0). `digits` holds up to 19 significant digits,
// or 20 when their value fits 64 bits. (No member initializers: the mean pass keeps arrays of
// them that each batch fills.)
struct decimal {
    std::uint64_t digits;
    std::int32_t exponent;  // saturated: beyond ±(2^31 - 1), every decimal is 0 or infinite
    bool negative;          // a leading '-'
    bool truncated;
};

enum class number_kind : std::uint8_t {
    none,         // not a number: the text is refused
    decimal,      // its `value` says it all, or its text does
    hexadecimal,  // left whole to the general reader
    infinity,     // inf or infinity, in any case
    nan,          // nan, in any case
};

// What the scalar scanner makes of one number's text.
struct scanned_number {
    const char* end = nullptr;  // one past the number's last byte
    number_kind kind = number_kind::none;
    decimal value = {0, 0, false, false};  // the sign for every kind; the rest for decimals
};

}  // namespace mean
