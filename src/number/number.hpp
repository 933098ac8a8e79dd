// The number reader: the text of one number into the double that strtod gives for it.
//
// Reading is two steps. Scanning checks the text against the grammar and records what it
// holds: the sign, up to 19 significant decimal digits as an integer, the decimal exponent,
// the kind, and where the text ends. Converting turns that record into the double. The scalar
// scanner here is the grammar; the vector scanners of the mean pass read the common shapes
// into a smaller record of the same meaning (plain_number, kernels.hpp) and are tested
// against it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mean {

// The longest text of one number that the mean pass reads.
inline constexpr std::size_t max_number_length = std::size_t{1} << 16;

enum class number_kind : std::uint8_t {
    none,      // not a number: the text is refused
    decimal,   // ±digits × 10^exponent, digits holding up to 19 significant digits
    general,   // hexadecimal: left whole to the general reader
    infinity,  // inf or infinity, in any case
    nan,       // nan, in any case
};

struct number_text {
    const char* end = nullptr;  // one past the number's last byte
    std::uint64_t digits = 0;   // decimal: the first 19 significant digits, as an integer
    std::int64_t exponent = 0;  // decimal: the value is digits × 10^exponent, before `truncated`
    bool negative = false;      // a leading '-'
    bool truncated = false;     // decimal: more significant digits follow, not all of them 0
    number_kind kind = number_kind::none;
};

// Scans the number that starts at `first`: an optional sign, then a decimal constant (digits
// with at most one point, at least one digit, an optional exponent e or E with optional sign
// and digits), a hexadecimal constant (0x or 0X, hex digits with at most one point, at least
// one digit, an optional binary exponent p or P with optional sign and digits) or one of the
// words inf, infinity and nan in any case. The number must end at white space or at `last`;
// anything else gives kind none.
number_text scan_number(const char* first, const char* last) noexcept;

// The correctly rounded double for a scanned number whose text starts at `first`: bit for bit
// what strtod gives (±inf on overflow, ±0 or a subnormal on underflow).
double to_double(const number_text& number, const char* first) noexcept;

// Scans and converts: on success stores the double in `value` and returns one past the
// number's last byte; otherwise returns `first` and leaves `value` as it was.
inline const char* parse_number(const char* first, const char* last, double& value) noexcept {
    const number_text number = scan_number(first, last);
    if (number.kind == number_kind::none) return first;
    value = to_double(number, first);
    return number.end;
}

}  // namespace mean
