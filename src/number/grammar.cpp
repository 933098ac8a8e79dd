// The scalar scanner: the grammar of a number, checked byte by byte, into its record.
#include "number/number.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "number/space.hpp"
#include "number/swar.hpp"

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

}  // namespace

scanned_number scan_number(const char* first, const char* last) noexcept {
    scanned_number number;
    const char* p = first;
    if (p != last && (*p == '+' || *p == '-')) {
        number.value.negative = *p == '-';
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
        number.kind = number_kind::hexadecimal;
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
    number.kind = number_kind::decimal;
    number.value.digits = w;
    number.value.exponent = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(exponent, -std::numeric_limits<std::int32_t>::max(),
                                 std::numeric_limits<std::int32_t>::max()));
    number.value.truncated = truncated;
    return number;
}

}  // namespace mean
