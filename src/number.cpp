#include "number.hpp"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace mean {
namespace {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

constexpr bool is_digit(char c) noexcept {
    return static_cast<unsigned char>(c - '0') < 10;
}

constexpr bool is_hex_digit(char c) noexcept {
    return is_digit(c) || static_cast<unsigned char>((c | 0x20) - 'a') < 6;
}

// Eight ASCII bytes, loaded little-endian, are all digits.
constexpr bool eight_digits(std::uint64_t v) noexcept {
    return ((v & 0xF0F0F0F0F0F0F0F0) | (((v + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) ==
           0x3333333333333333;
}

// How many decimal digits v has; 0 for 0.
constexpr int decimal_digits(std::uint64_t v) noexcept {
    int n = 0;
    for (; v != 0; v /= 10)
        ++n;
    return n;
}

// The value of eight ASCII digits loaded little-endian (first digit in the low byte).
constexpr std::uint32_t eight_digits_value(std::uint64_t v) noexcept {
    v -= 0x3030303030303030;
    v = (v * 10) + (v >> 8);
    v = (((v & 0x000000FF000000FF) * 0x000F424000000064) +
         (((v >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
        32;
    return static_cast<std::uint32_t>(v);
}

std::uint64_t load8(const char* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// strtod on a copy of [first, last), which the caller has checked is a whole number.
double strtod_copy(const char* first, const char* last) {
    const std::string text(first, last);
    return std::strtod(text.c_str(), nullptr);
}

// The correctly rounded w × 10^e, for 0 < w < 2^64 and -22 <= e <= 22, in exact integer
// arithmetic: 10^e = 5^e × 2^e, and 5^22 < 2^52, so a product fits in 128 bits and a quotient
// carries at least 75 bits plus a sticky bit for the remainder.
double scale_exact(std::uint64_t w, int e) noexcept {
    constexpr std::uint64_t pow5[23] = {1ULL,
                                        5ULL,
                                        25ULL,
                                        125ULL,
                                        625ULL,
                                        3125ULL,
                                        15625ULL,
                                        78125ULL,
                                        390625ULL,
                                        1953125ULL,
                                        9765625ULL,
                                        48828125ULL,
                                        244140625ULL,
                                        1220703125ULL,
                                        6103515625ULL,
                                        30517578125ULL,
                                        152587890625ULL,
                                        762939453125ULL,
                                        3814697265625ULL,
                                        19073486328125ULL,
                                        95367431640625ULL,
                                        476837158203125ULL,
                                        2384185791015625ULL};
    u128 n;
    int binary_exponent;  // the value is (n + fraction) × 2^binary_exponent
    bool sticky = false;  // the fraction is not zero
    if (e >= 0) {
        n = static_cast<u128>(w) * pow5[e];
        binary_exponent = e;
    } else {
        const int shift = 64 + std::countl_zero(w);
        const u128 numerator = static_cast<u128>(w) << shift;
        n = numerator / pow5[-e];
        sticky = numerator % pow5[-e] != 0;
        binary_exponent = e - shift;
    }
    const auto high = static_cast<std::uint64_t>(n >> 64);
    const int zeros =
        high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(n));
    n <<= zeros;
    binary_exponent -= zeros;
    const auto top = static_cast<std::uint64_t>(n >> 64);
    const bool rest = (top & 0x3FF) != 0 || static_cast<std::uint64_t>(n) != 0 || sticky;
    std::uint64_t m = top >> 11;  // 53 bits, the leading one included
    if (((top >> 10) & 1) != 0 && (rest || (m & 1) != 0)) ++m;
    // m × 2^(binary_exponent + 75), with the leading one at bit 52 of m.
    std::uint64_t biased = static_cast<std::uint64_t>(binary_exponent + 75 + 1075);
    if (m >> 53 != 0) {
        m >>= 1;
        ++biased;
    }
    return std::bit_cast<double>((biased << 52) | (m & ((std::uint64_t{1} << 52) - 1)));
}

// inf, infinity or nan in any case, at p; returns the end of the word or nullptr.
const char* parse_word(const char* p, const char* last, bool negative, double& value) noexcept {
    const auto word = [&](const char* q, const char* text) -> const char* {
        for (; *text != '\0'; ++text, ++q) {
            if (q == last || (*q | 0x20) != *text) return nullptr;
        }
        return q;
    };
    if (const char* end = word(p, "inf")) {
        if (const char* longer = word(end, "inity")) end = longer;
        value = negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
        return end;
    }
    if (const char* end = word(p, "nan")) {
        value = negative ? -std::numeric_limits<double>::quiet_NaN()
                         : std::numeric_limits<double>::quiet_NaN();
        return end;
    }
    return nullptr;
}

// The end of a hexadecimal constant whose hex digits start at p, or nullptr.
const char* scan_hex(const char* p, const char* last) noexcept {
    bool any_digit = false;
    while (p != last && is_hex_digit(*p)) {
        any_digit = true;
        ++p;
    }
    if (p != last && *p == '.') {
        ++p;
        while (p != last && is_hex_digit(*p)) {
            any_digit = true;
            ++p;
        }
    }
    if (!any_digit) return nullptr;
    if (p != last && (*p | 0x20) == 'p') {
        const char* q = p + 1;
        if (q != last && (*q == '+' || *q == '-')) ++q;
        if (q == last || !is_digit(*q)) return nullptr;
        while (q != last && is_digit(*q))
            ++q;
        p = q;
    }
    return p;
}

}  // namespace

const char* parse_number(const char* first, const char* last, double& value) noexcept {
    const char* p = first;
    bool negative = false;
    if (p != last && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == last) return first;
    const char* const body = p;

    if (!is_digit(*p) && *p != '.') {
        double word_value;
        const char* end = parse_word(p, last, negative, word_value);
        if (end == nullptr || (end != last && !is_space(*end))) return first;
        value = word_value;
        return end;
    }

    if (*p == '0' && last - p > 2 && (p[1] | 0x20) == 'x') {
        const char* end = scan_hex(p + 2, last);
        if (end == nullptr || (end != last && !is_space(*end))) return first;
        try {
            value = strtod_copy(first, end);
        } catch (...) {  // no memory for the copy: not a number this run can read
            return first;
        }
        return end;
    }

    // Decimal: up to 19 significant digits in w, the value being w × 10^exponent.
    std::uint64_t w = 0;
    int significant = 0;
    bool truncated = false;  // more than 19 significant digits
    std::int64_t exponent = 0;
    std::int64_t digits = 0;

    const auto take = [&](char c, bool fraction) {
        if (significant < 19) {
            w = w * 10 + static_cast<unsigned>(c - '0');
            significant += w != 0;
            exponent -= fraction;
        } else {
            truncated = true;
            exponent += !fraction;
        }
        ++digits;
    };

    while (p != last && is_digit(*p))
        take(*p++, false);
    if (p != last && *p == '.') {
        ++p;
        // Eight fraction digits at a time while all of them fit in w.
        while (last - p >= 8 && significant <= 11) {
            const std::uint64_t chunk = load8(p);
            if (!eight_digits(chunk)) break;
            w = w * 100000000 + eight_digits_value(chunk);
            significant = significant != 0 ? significant + 8 : decimal_digits(w);
            exponent -= 8;
            digits += 8;
            p += 8;
        }
        while (p != last && is_digit(*p))
            take(*p++, true);
    }
    if (digits == 0) return first;

    if (p != last && (*p | 0x20) == 'e') {
        const char* q = p + 1;
        bool exponent_negative = false;
        if (q != last && (*q == '+' || *q == '-')) {
            exponent_negative = *q == '-';
            ++q;
        }
        if (q == last || !is_digit(*q)) return first;
        std::int64_t e = 0;
        for (; q != last && is_digit(*q); ++q) {
            if (e < 1000000) e = e * 10 + (*q - '0');
        }
        exponent += exponent_negative ? -e : e;
        p = q;
    }
    if (p != last && !is_space(*p)) return first;

    if (!truncated) {
        if (w == 0) {
            value = negative ? -0.0 : 0.0;
            return p;
        }
        if (exponent >= -22 && exponent <= 22) {
            constexpr double pow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
            double v;
            if (w <= (std::uint64_t{1} << 53)) {
                // Both operands are exact doubles: one correctly rounded operation.
                v = exponent >= 0 ? static_cast<double>(w) * pow10[exponent]
                                  : static_cast<double>(w) / pow10[-exponent];
            } else {
                v = scale_exact(w, static_cast<int>(exponent));
            }
            value = negative ? -v : v;
            return p;
        }
    }

    double v;
    const auto [end, error] = std::from_chars(body, p, v, std::chars_format::general);
    if (error == std::errc() && end == p) {
        value = negative ? -v : v;
        return p;
    }
    // Out of range: strtod gives the infinity or the rounded tiny value.
    try {
        value = strtod_copy(first, p);
    } catch (...) {
        return first;
    }
    return p;
}

}  // namespace mean
