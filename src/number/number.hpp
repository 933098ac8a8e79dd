// The number reader: the text of one number into the double that strtod gives for it.
//
// Reading is two steps. Scanning (grammar.cpp) checks the text against the grammar and fills
// the record (record.hpp): the sign, up to 19 significant decimal digits as an integer, the
// decimal exponent, the kind, and where the text ends. Converting (convert.cpp) turns that
// record into the double, by the exact scaling (scale.hpp), 128 bits of powers of five
// (powers_of_five.hpp), or the general reader. The scalar scanner here is the grammar; the
// vector scanners of the mean pass read the common shapes into the same record and are tested
// against it.
#pragma once

#include "number/record.hpp"

namespace mean {

// Scans the number that starts at `first`: an optional sign, then a decimal constant (digits
// with at most one point, at least one digit, an optional exponent e or E with optional sign
// and digits), a hexadecimal constant (0x or 0X, hex digits with at most one point, at least
// one digit, an optional binary exponent p or P with optional sign and digits) or one of the
// words inf, infinity and nan in any case. The number must end at white space or at `last`;
// anything else gives kind none.
scanned_number scan_number(const char* first, const char* last) noexcept;

// The correctly rounded double for a scanned number whose text starts at `first`: bit for bit
// what strtod gives (±inf on overflow, ±0 or a subnormal on underflow).
double to_double(const scanned_number& number, const char* first) noexcept;

// Scans and converts: on success stores the double in `value` and returns one past the
// number's last byte; otherwise returns `first` and leaves `value` as it was.
inline const char* parse_number(const char* first, const char* last, double& value) noexcept {
    const scanned_number number = scan_number(first, last);
    if (number.kind == number_kind::none) return first;
    value = to_double(number, first);
    return number.end;
}

}  // namespace mean
