// The conversion of a scanned number's record into the correctly rounded double.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "number/number.hpp"
#include "number/powers_of_five.hpp"
#include "number/scale.hpp"

namespace mean {
namespace {

// The correctly rounded w × 10^e in `value`, for 0 < w < 2^64, when |e| <= max_exact_exponent,
// or when e is larger but w × 10^(e - max_exact_exponent) is still below 2^64 (then that
// product is exact and only the last factor rounds). False for anything else.
bool scale_exactly(std::uint64_t w, std::int64_t e, double& value) noexcept {
    constexpr int widest = max_exact_exponent;
    if (e < -widest || e > widest + 19) return false;
    if (e > widest) {
        const std::uint64_t factor = integer_powers_of_ten[e - widest];
        if (w > std::numeric_limits<std::uint64_t>::max() / factor) return false;
        w *= factor;
        e = widest;
    }
    value = scale(w, static_cast<int>(e));
    return true;
}

// The correctly rounded w × 10^e in `value` by the exact ways above, or else from 128 bits of
// 5^e; false when none of them settles it.
bool scale_any(std::uint64_t w, std::int64_t e, double& value) noexcept {
    return scale_exactly(w, e, value) || scale_by_powers_of_five(w, e, value);
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
double read_general(const scanned_number& number, const char* first) noexcept {
    if (number.kind == number_kind::decimal) {
        const char* const body = first + (*first == '+' || *first == '-');
        double v;
        const auto [end, error] = std::from_chars(body, number.end, v, std::chars_format::general);
        if (error == std::errc() && end == number.end) return with_sign(v, number.value.negative);
    }
    return strtod_copy(first, number.end);
}

}  // namespace

double to_double(const scanned_number& number, const char* first) noexcept {
    const decimal& d = number.value;
    switch (number.kind) {
        case number_kind::infinity:
            return with_sign(std::numeric_limits<double>::infinity(), d.negative);
        case number_kind::nan:
            return with_sign(std::numeric_limits<double>::quiet_NaN(), d.negative);
        case number_kind::decimal: {
            if (d.digits == 0) return with_sign(0.0, d.negative);
            double low;
            if (scale_any(d.digits, d.exponent, low)) {
                if (!d.truncated) return with_sign(low, d.negative);
                // The value lies strictly between digits × 10^e and (digits + 1) × 10^e (at
                // most 10^19, still below 2^64). Rounding is monotonic, so when both bounds
                // round to the same double, so does every value between them.
                double high;
                if (scale_any(d.digits + 1, d.exponent, high) && high == low) {
                    return with_sign(low, d.negative);
                }
            }
            return read_general(number, first);
        }
        case number_kind::hexadecimal:
        case number_kind::none:
            break;
    }
    return read_general(number, first);
}

}  // namespace mean
