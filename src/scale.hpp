// Exact decimal scaling: the double nearest to w × 10^e, for the exponents the fast reader
// meets. Everything else is the general reader's.
#pragma once

#include <bit>
#include <cstdint>

namespace mean {

inline constexpr double exact_powers_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^0 to 10^19, all that fit 64 bits.
inline constexpr std::uint64_t integer_powers_of_ten[20] = {1,
                                                            10,
                                                            100,
                                                            1000,
                                                            10000,
                                                            100000,
                                                            1000000,
                                                            10000000,
                                                            100000000,
                                                            1000000000,
                                                            10000000000,
                                                            100000000000,
                                                            1000000000000,
                                                            10000000000000,
                                                            100000000000000,
                                                            1000000000000000,
                                                            10000000000000000,
                                                            100000000000000000,
                                                            1000000000000000000,
                                                            10000000000000000000u};

// The correctly rounded w × 10^e, for 0 < w < 2^64 and -22 <= e <= 22, in integer arithmetic.
double scale_exact(std::uint64_t w, int e) noexcept;

// The correctly rounded w × 10^e for -22 <= e <= 22.
inline double scale(std::uint64_t w, int e) noexcept {
    // w and 10^|e| (at most 5^22 × 2^22, 5^22 < 2^53) are both exact doubles, so one IEEE
    // operation rounds the exact product or quotient once, to nearest.
    if (w <= (std::uint64_t{1} << 53)) {
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

}  // namespace mean
