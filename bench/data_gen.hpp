// The benchmark data: a reproducible stream of lines of numbers, the same bytes on every machine.
#pragma once

#include <charconv>
#include <cstdint>

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

}  // namespace bench
