#include "number/number.hpp"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "number/scale.hpp"
#include "number/space.hpp"
#include "number/swar.hpp"
#include "number/wide_scale.hpp"

namespace mean {
namespace {

constexpr bool is_digit(char c) noexcept {
    return static_cast<unsigned char>(c - '0') < 10;
}

constexpr bool is_hex_digit(char c) noexcept {
    return is_digit(c) || static_cast<unsigned char>((c | 0x20) - 'a') < 6;
}

// A number ends at white space or at the end of the text.
bool ends_number(const char* p, const char* last) noexcept {
    return p == last || is_space(*p);
}

// Whether the 8 bytes at p are all digits, and their value.
bool eight_digits(const char* p, std::uint64_t& value) noexcept {
    const std::uint64_t word = load_le64(p);
    if (!all_digits(word)) return false;
    value = eight_digit_value(word);
    return true;
}

// The end of `word` (lower case) matched in any case at p, or nullptr.
const char* match_word(const char* p, const char* last, const char* word) noexcept {
    for (; *word != '\0'; ++word, ++p) {
        if (p == last || (*p | 0x20) != *word) return nullptr;
    }
    return p;
}

// The end of a hexadecimal constant whose hex digits start at p, or nullptr.
const char* scan_hex(const char* p, const char* last) noexcept {
    bool any_digit = false;
    for (; p != last && is_hex_digit(*p); ++p)
        any_digit = true;
    if (p != last && *p == '.') {
        for (++p; p != last && is_hex_digit(*p); ++p)
            any_digit = true;
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

// The correctly rounded w × 10^e in `value`, for 0 < w < 2^64, when -22 <= e <= 22, or when
// e is larger but w × 10^(e - 22) is still below 2^64 (then that product is exact and only the
// last factor 10^22 rounds). False for anything else.
bool scale_wide(std::uint64_t w, std::int64_t e, double& value) noexcept {
    if (e < -22 || e > 22 + 19) return false;
    if (e > 22) {
        const std::uint64_t factor = integer_powers_of_ten[e - 22];
        if (w > std::numeric_limits<std::uint64_t>::max() / factor) return false;
        w *= factor;
        e = 22;
    }
    value = scale(w, static_cast<int>(e));
    return true;
}

// The correctly rounded w × 10^e in `value` by the exact ways above, or else from 128 bits of
// 5^e; false when none of them settles it.
bool scale_any(std::uint64_t w, std::int64_t e, double& value) noexcept {
    return scale_wide(w, e, value) || scale_by_powers_of_five(w, e, value);
}

// strtod on a copy of the number's text, which must end at the copy's NUL.
double strtod_copy(const char* first, const char* end) noexcept {
    const auto length = static_cast<std::size_t>(end - first);
    if (length <= max_number_length) {
        char text[max_number_length + 1];
        std::memcpy(text, first, length);
        text[length] = '\0';
        return std::strtod(text, nullptr);
    }
    // Only callers other than the mean pass, which refuses such texts, get here.
    const std::string text(first, end);
    return std::strtod(text.c_str(), nullptr);
}

// The general reader: std::from_chars for decimals, strtod for hexadecimal constants and for
// values beyond the range of doubles, on the whole text of a scanned number.
double read_general(const number_text& number, const char* first) noexcept {
    if (number.kind == number_kind::decimal) {
        const char* const body = first + (*first == '+' || *first == '-');
        double v;
        const auto [end, error] = std::from_chars(body, number.end, v, std::chars_format::general);
        if (error == std::errc() && end == number.end) return with_sign(v, number.negative);
    }
    return strtod_copy(first, number.end);
}

}  // namespace

number_text scan_number(const char* first, const char* last) noexcept {
    number_text number;
    const char* p = first;
    if (p != last && (*p == '+' || *p == '-')) {
        number.negative = *p == '-';
        ++p;
    }
    if (p == last) return {};

    if (!is_digit(*p) && *p != '.') {
        const char* end = match_word(p, last, "inf");
        if (end != nullptr) {
            if (const char* longer = match_word(end, last, "inity")) end = longer;
            number.kind = number_kind::infinity;
        } else if ((end = match_word(p, last, "nan")) != nullptr) {
            number.kind = number_kind::nan;
        }
        if (end == nullptr || !ends_number(end, last)) return {};
        number.end = end;
        return number;
    }

    if (*p == '0' && last - p > 2 && (p[1] | 0x20) == 'x') {
        const char* const end = scan_hex(p + 2, last);
        if (end == nullptr || !ends_number(end, last)) return {};
        number.end = end;
        number.kind = number_kind::general;
        return number;
    }

    // Decimal. The first 19 significant digits go into `digits`; the exponent counts the
    // integer digits dropped after them and the fraction digits kept.
    std::uint64_t w = 0;
    int kept = 0;
    std::int64_t exponent = 0;
    bool truncated = false;
    bool any_digit = false;
    // One digit: before the point a digit beyond the 19th scales the value up; after it, each
    // digit kept, and each 0 before the first kept, scales it down.
    const auto digit = [&](unsigned d, bool fraction) {
        if (kept == 19) {
            exponent += !fraction;
            truncated |= d != 0;
            return;
        }
        if (kept != 0 || d != 0) {
            w = w * 10 + d;
            ++kept;
        }
        exponent -= fraction;
    };
    // A run of digits: eight at a time where the next eight are all digits and all kept, or
    // all dropped; one at a time elsewhere, and to its end once fewer than eight are left.
    std::uint64_t eight = 0;
    const auto run = [&](bool fraction) {
        while (last - p >= 8 && eight_digits(p, eight)) {
            any_digit = true;
            if (kept != 0 && kept <= 11) {
                w = w * 100000000 + eight;
                kept += 8;
                exponent -= 8 * fraction;
            } else if (kept == 19) {
                exponent += 8 * !fraction;
                truncated |= eight != 0;
            } else {
                digit(static_cast<unsigned>(*p++ - '0'), fraction);
                continue;
            }
            p += 8;
        }
        for (; p != last && is_digit(*p); ++p) {
            any_digit = true;
            digit(static_cast<unsigned>(*p - '0'), fraction);
        }
    };
    run(false);
    if (p != last && *p == '.') {
        ++p;
        run(true);
    }
    if (!any_digit) return {};
    if (p != last && (*p | 0x20) == 'e') {
        const char* q = p + 1;
        bool exponent_negative = false;
        if (q != last && (*q == '+' || *q == '-')) {
            exponent_negative = *q == '-';
            ++q;
        }
        if (q == last || !is_digit(*q)) return {};
        std::int64_t e = 0;
        for (; q != last && is_digit(*q); ++q) {
            if (e < 100000000000000000) e = e * 10 + (*q - '0');  // beyond any digit count
        }
        exponent += exponent_negative ? -e : e;
        p = q;
    }
    if (!ends_number(p, last)) return {};
    number.end = p;
    number.digits = w;
    number.exponent = exponent;
    number.truncated = truncated;
    number.kind = number_kind::decimal;
    return number;
}

double to_double(const number_text& number, const char* first) noexcept {
    switch (number.kind) {
        case number_kind::infinity:
            return with_sign(std::numeric_limits<double>::infinity(), number.negative);
        case number_kind::nan:
            return with_sign(std::numeric_limits<double>::quiet_NaN(), number.negative);
        case number_kind::decimal: {
            if (number.digits == 0) return with_sign(0.0, number.negative);
            double low;
            if (scale_any(number.digits, number.exponent, low)) {
                if (!number.truncated) return with_sign(low, number.negative);
                // The value lies strictly between digits × 10^e and (digits + 1) × 10^e (at
                // most 10^19, still below 2^64). Rounding is monotonic, so when both bounds
                // round to the same double, so does every value between them.
                double high;
                if (scale_any(number.digits + 1, number.exponent, high) && high == low) {
                    return with_sign(low, number.negative);
                }
            }
            return read_general(number, first);
        }
        case number_kind::general:
        case number_kind::none:
            break;
    }
    return read_general(number, first);
}

}  // namespace mean
