// The number reader: the text of one number into the double that strtod gives for it.
#pragma once

namespace mean {

// The white space that separates numbers: space, tab, newline, vertical tab, form feed and
// carriage return, as isspace() gives them in the C locale.
constexpr bool is_space(char c) noexcept {
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

// Reads the number that starts at `first`: an optional sign, then a decimal constant (digits
// with at most one point, at least one digit, an optional exponent e or E with optional sign
// and digits), a hexadecimal constant (0x or 0X, hex digits with at most one point, at least
// one digit, an optional binary exponent p or P) or one of the words inf, infinity and nan in
// any case. The number must end at white space or at `last`.
//
// On success stores in `value` the correctly rounded double, bit for bit what strtod gives
// for the same text (±inf on overflow, ±0 or a subnormal on underflow), and returns one past
// the number's last byte. Otherwise returns `first` and leaves `value` as it was.
const char* parse_number(const char* first, const char* last, double& value) noexcept;

}  // namespace mean
