// The number reader: the text of one number into the double that strtod gives for it.
//
// The common shape of a number, a short plain decimal, is read by inline code here without a
// loop over its bytes; everything else goes to the general reader in number.cpp.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mean {

// The white space that separates numbers: space, tab, newline, vertical tab, form feed and
// carriage return, as isspace() gives them in the C locale.
constexpr bool is_space(char c) noexcept {
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

namespace detail {

// The correctly rounded w × 10^e, for 0 < w < 2^64 and -22 <= e <= 22.
double scale_exact(std::uint64_t w, int e) noexcept;

const char* parse_number_general(const char* first, const char* last, double& value) noexcept;

inline constexpr double exact_powers_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The correctly rounded w × 10^e for -22 <= e <= 22.
inline double scale(std::uint64_t w, int e) noexcept {
    if (w <= (std::uint64_t{1} << 53)) {
        // Both operands are exact doubles: one correctly rounded operation.
        return e >= 0 ? static_cast<double>(w) * exact_powers_of_ten[e]
                      : static_cast<double>(w) / exact_powers_of_ten[-e];
    }
    return scale_exact(w, e);
}

// -v when `negative`, else v, for v >= +0, without a branch on the sign.
inline double with_sign(double v, bool negative) noexcept {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) |
                                 static_cast<std::uint64_t>(negative) << 63);
}

inline std::uint64_t load8(const char* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The value of the n (1 to 8) ASCII digits at s, read as one word with the bytes after them.
inline std::uint64_t digits_value(const char* s, int n) noexcept {
    // Subtracting may borrow only upwards, from the bytes after the digits, which the shift
    // drops; the zero bytes shifted in stand for leading zeros.
    std::uint64_t v = (load8(s) - 0x3030303030303030) << (8 * (8 - n));
    v = (v * 10) + (v >> 8);
    return (((v & 0x000000FF000000FF) * 0x000F424000000064) +
            (((v >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
           32;
}

#if defined(__SSE2__)
// Bit i set when s[i] is a decimal digit, for i from 0 to 31.
inline std::uint64_t digit_mask(const char* s) noexcept {
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    const auto mask = [&](const char* at) {
        const __m128i t = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), zero);
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(t, nine), t)));
    };
    return mask(s) | std::uint64_t{mask(s + 16)} << 16;
}

// An optional sign, 1 to 8 digits, and optionally a point and up to 16 digits, 19 digits at
// most, then white space. Returns nullptr for anything else, and near `last`.
inline const char* parse_plain_decimal(const char* p, const char* last, double& value) noexcept {
    if (last - p < 34) return nullptr;
    const bool negative = *p == '-';
    const char* const s = p + (*p == '-' || *p == '+');
    const std::uint64_t digits = digit_mask(s);
    const int integer_length = std::countr_one(digits);
    if (integer_length == 0 || integer_length > 8) return nullptr;
    std::uint64_t w = digits_value(s, integer_length);
    const char* end = s + integer_length;
    int fraction_length = 0;
    if (*end == '.') {
        constexpr std::uint64_t pow10[9] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};
        fraction_length = std::countr_one(digits >> (integer_length + 1));
        if (fraction_length > 16 || integer_length + fraction_length > 19) return nullptr;
        const char* const fraction = end + 1;
        if (fraction_length > 8) {
            w = (w * pow10[8] + digits_value(fraction, 8)) * pow10[fraction_length - 8] +
                digits_value(fraction + 8, fraction_length - 8);
        } else if (fraction_length > 0) {
            w = w * pow10[fraction_length] + digits_value(fraction, fraction_length);
        }
        end = fraction + fraction_length;
    }
    if (!is_space(*end)) return nullptr;
    value = with_sign(scale(w, -fraction_length), negative);
    return end;
}
#else
inline const char* parse_plain_decimal(const char*, const char*, double&) noexcept {
    return nullptr;
}
#endif

}  // namespace detail

// Reads the number that starts at `first`: an optional sign, then a decimal constant (digits
// with at most one point, at least one digit, an optional exponent e or E with optional sign
// and digits), a hexadecimal constant (0x or 0X, hex digits with at most one point, at least
// one digit, an optional binary exponent p or P) or one of the words inf, infinity and nan in
// any case. The number must end at white space or at `last`.
//
// On success stores in `value` the correctly rounded double, bit for bit what strtod gives
// for the same text (±inf on overflow, ±0 or a subnormal on underflow), and returns one past
// the number's last byte. Otherwise returns `first` and leaves `value` as it was.
inline const char* parse_number(const char* first, const char* last, double& value) noexcept {
    if (const char* end = detail::parse_plain_decimal(first, last, value)) return end;
    return detail::parse_number_general(first, last, value);
}

}  // namespace mean
