// The benchmark data: reproducible streams of lines of numbers in four shapes, the same bytes on
// every machine. Every shape draws from splitmix64 with one fixed seed; the mixed shape formats
// doubles computed with exact integer arithmetic and one rounding, the others write the digits
// of random integers themselves, so no compiler, library or floating-point mode changes a byte.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace bench {

// The splitmix64 generator: a 64-bit state stepped by a constant and mixed on output.
class splitmix64 {
  public:
    explicit constexpr splitmix64(std::uint64_t seed) noexcept : state_(seed) {}

    constexpr std::uint64_t next() noexcept {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        return z ^ (z >> 31);
    }

  private:
    std::uint64_t state_;
};

// The seed of every data file.
inline constexpr std::uint64_t data_seed = 20240229;

// A uniform double in [-1000, 1000): 53 random bits k give (2000 k - 1000 × 2^53) / 2^53. The
// numerator is an exact 64-bit integer, so the one rounding is its conversion to double, and
// the result does not depend on how the compiler evaluates floating-point expressions.
inline double next_value(splitmix64& random) noexcept {
    const std::uint64_t k = random.next() >> 11;
    const auto numerator = static_cast<std::int64_t>(k * 2000) - (std::int64_t{1000} << 53);
    return static_cast<double>(numerator) * 0x1p-53;
}

// The number forms, in the order the lines cycle through them: printf's %.17g, %.6f and %.3f.
enum class form { g17, f6, f3 };

inline constexpr form form_of_line(std::uint64_t index) noexcept {
    return static_cast<form>(index % 3);
}

// The longest line write_line writes, newline included: "-1.2345678901234567e-100\n".
inline constexpr int max_line_length = 32;

// Writes `value` in `how` followed by a newline at `out`, which has room for max_line_length
// bytes, and returns the end of the line. std::to_chars with a precision writes what printf
// writes for the same conversion in the "C" locale.
inline char* write_line(char* out, double value, form how) noexcept {
    char* const last = out + max_line_length - 1;
    std::to_chars_result result{};
    switch (how) {
        case form::g17:
            result = std::to_chars(out, last, value, std::chars_format::general, 17);
            break;
        case form::f6:
            result = std::to_chars(out, last, value, std::chars_format::fixed, 6);
            break;
        case form::f3:
            result = std::to_chars(out, last, value, std::chars_format::fixed, 3);
            break;
    }
    *result.ptr = '\n';
    return result.ptr + 1;
}

// The shapes of data file gen_data writes, with their mean line lengths, newline included:
//   mixed       next_value in %.17g, %.6f and %.3f in turn (form_of_line); 13.1 bytes
//   integers    uniform integers in [0, 10^9), as %ld writes them; 9.9 bytes
//   exponent    ±m × 10^k as %.6e writes it, "-d.dddddde±XX": m uniform in [1, 10) in steps
//               of 10^-6, k uniform in [-10, 9], the sign uniform; magnitudes 10^-10 to 10^10;
//               13.5 bytes
//   timestamps  uniform in [1.7e9, 1.8e9) in steps of 10^-10, as %.10f writes it, like the
//               file times find -printf %T@ writes: 10 integer digits, a point, 10 decimals;
//               22 bytes
//   prices      uniform in [0, 10000) in steps of 0.01, as %.2f writes it; 7.9 bytes
//   g15         ±m × 10^k as %.15g writes it: m = next_value's magnitude / 100, k uniform in
//               [-8, 8], so the magnitudes span 17 decades; about 17 bytes
//   shortest    next_value rounded to 1 to 17 significant digits (uniform), then written as
//               the shortest text that reads back as it, in fixed notation, as scripting
//               languages print a double of these magnitudes; about 12 bytes
//   e17         ±m × 10^k as %.17e writes it, "-d.ddddddddddddddddde±XX": m = next_value's
//               magnitude / 100, k uniform in [-10, 9]; about 24.5 bytes
enum class shape { mixed, integers, exponent, timestamps, prices, g15, shortest, e17 };

inline constexpr shape all_shapes[] = {shape::mixed,      shape::integers, shape::exponent,
                                       shape::timestamps, shape::prices,   shape::g15,
                                       shape::shortest,   shape::e17};

inline constexpr std::string_view name_of(shape which) noexcept {
    switch (which) {
        case shape::mixed:
            return "mixed";
        case shape::integers:
            return "integers";
        case shape::exponent:
            return "exponent";
        case shape::timestamps:
            return "timestamps";
        case shape::prices:
            return "prices";
        case shape::g15:
            return "g15";
        case shape::shortest:
            return "shortest";
        case shape::e17:
            return "e17";
    }
    return {};
}

// 10^0 to 10^10, each exactly a double.
inline constexpr double exact_powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};

// A random integer in [0, n), n > 0: the remainder of a 64-bit draw. Its bias, below n / 2^64,
// is far too small for any benchmark to see.
inline std::uint64_t next_below(splitmix64& random, std::uint64_t n) noexcept {
    return random.next() % n;
}

// Writes the `width` lowest decimal digits of `value` at `out`, zeros first where `value` has
// fewer, and returns their end.
inline char* write_digits(char* out, std::uint64_t value, int width) noexcept {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Writes line `index` of a file of shape `which`, newline included, at `out`, which has room
// for max_line_length bytes, and returns the end of the line. Line after line from one
// generator seeded with data_seed, this is the data file gen_data writes.
inline char* write_shape_line(char* out, shape which, splitmix64& random,
                              std::uint64_t index) noexcept {
    switch (which) {
        case shape::mixed:
            return write_line(out, next_value(random), form_of_line(index));
        case shape::integers: {
            const auto result =
                std::to_chars(out, out + max_line_length - 1, next_below(random, 1000000000));
            *result.ptr = '\n';
            return result.ptr + 1;
        }
        case shape::exponent: {
            const std::uint64_t mantissa = 1000000 + next_below(random, 9000000);
            const std::uint64_t bits = random.next();
            const int exponent = static_cast<int>((bits >> 1) % 20) - 10;
            if ((bits & 1) != 0) *out++ = '-';
            *out++ = static_cast<char>('0' + mantissa / 1000000);
            *out++ = '.';
            out = write_digits(out, mantissa, 6);
            *out++ = 'e';
            *out++ = exponent < 0 ? '-' : '+';
            out = write_digits(out, static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent),
                               2);
            *out = '\n';
            return out + 1;
        }
        case shape::timestamps: {
            const std::uint64_t seconds = 1700000000 + next_below(random, 100000000);
            const std::uint64_t fraction = next_below(random, 10000000000);
            out = write_digits(out, seconds, 10);
            *out++ = '.';
            out = write_digits(out, fraction, 10);
            *out = '\n';
            return out + 1;
        }
        case shape::prices: {
            const std::uint64_t cents = next_below(random, 1000000);
            out = std::to_chars(out, out + max_line_length, cents / 100).ptr;
            *out++ = '.';
            out = write_digits(out, cents % 100, 2);
            *out = '\n';
            return out + 1;
        }
        case shape::g15:
        case shape::e17: {
            const double m = next_value(random) / 100;  // magnitude below 10, either sign
            const bool e17 = which == shape::e17;
            const auto k = static_cast<int>(e17 ? next_below(random, 20) : next_below(random, 17)) -
                           (e17 ? 10 : 8);
            const double value = k < 0 ? m / exact_powers[-k] : m * exact_powers[k];
            const auto result = e17 ? std::to_chars(out, out + max_line_length - 1, value,
                                                    std::chars_format::scientific, 17)
                                    : std::to_chars(out, out + max_line_length - 1, value,
                                                    std::chars_format::general, 15);
            *result.ptr = '\n';
            return result.ptr + 1;
        }
        case shape::shortest: {
            const double value = next_value(random);
            const auto digits = static_cast<int>(1 + next_below(random, 17));
            char rounded[max_line_length];
            const auto text = std::to_chars(rounded, rounded + sizeof rounded, value,
                                            std::chars_format::general, digits);
            double read = 0;
            std::from_chars(rounded, text.ptr, read);
            const auto result =
                std::to_chars(out, out + max_line_length - 1, read, std::chars_format::fixed);
            *result.ptr = '\n';
            return result.ptr + 1;
        }
    }
    return out;
}

}  // namespace bench
