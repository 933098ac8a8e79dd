// Exact decimal scaling: the double nearest to w × 10^e, for the exponents the fast reader
// meets. Everything else is the general reader's.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
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

// The parts of scale_exact.
namespace scaling {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

// 5^0 to 5^27, all below 2^63.
inline constexpr std::uint64_t pow5[28] = {1,
                                           5,
                                           25,
                                           125,
                                           625,
                                           3125,
                                           15625,
                                           78125,
                                           390625,
                                           1953125,
                                           9765625,
                                           48828125,
                                           244140625,
                                           1220703125,
                                           6103515625,
                                           30517578125,
                                           152587890625,
                                           762939453125,
                                           3814697265625,
                                           19073486328125,
                                           95367431640625,
                                           476837158203125,
                                           2384185791015625,
                                           11920928955078125,
                                           59604644775390625,
                                           298023223876953125,
                                           1490116119384765625,
                                           7450580596923828125};

// 1 / 5^k, truncated to 128 bits: r × 2^-(128 + t) with 2^127 <= r < 2^128, t = floor(log2 5^k).
struct reciprocal {
    u128 r;
    int t;
};

constexpr reciprocal make_reciprocal(std::uint64_t d) {
    const int t = 63 - std::countl_zero(d);
    // Long division of 2^(128 + t) by d, one bit at a time; the quotient is below 2^128.
    u128 q = 0;
    std::uint64_t remainder = 1;
    for (int bit = 0; bit < 128 + t; ++bit) {
        remainder <<= 1;
        q <<= 1;
        if (remainder >= d) {
            remainder -= d;
            q |= 1;
        }
    }
    return {q, t};
}

inline constexpr auto reciprocals = [] {
    std::array<reciprocal, 28> table{};
    for (std::size_t k = 1; k < table.size(); ++k)
        table[k] = make_reciprocal(pow5[k]);
    return table;
}();

// The double m × 2^(biased - 1075), for a 53-bit m with its leading one in bit 52, or m = 2^53
// after rounding up: the carry out of the mantissa lands in the exponent field, as it should.
inline double assemble(std::uint64_t biased, std::uint64_t m) noexcept {
    return std::bit_cast<double>(((biased - 1) << 52) + m);
}

// The nearest double to n × 2^binary_exponent, ties to even, where n != 0. The result must be
// normal.
inline double round_to_double(u128 n, int binary_exponent) noexcept {
    const auto high = static_cast<std::uint64_t>(n >> 64);
    const int zeros =
        high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(n));
    n <<= zeros;
    binary_exponent -= zeros;
    const auto top = static_cast<std::uint64_t>(n >> 64);
    const bool rest = (top & 0x3FF) != 0 || static_cast<std::uint64_t>(n) != 0;
    std::uint64_t m = top >> 11;  // 53 bits, the leading one included
    if (((top >> 10) & 1) != 0 && (rest || (m & 1) != 0)) ++m;
    // m × 2^(binary_exponent + 75)
    return assemble(static_cast<std::uint64_t>(binary_exponent + 75 + 1075), m);
}

}  // namespace scaling

// The widest exponent that scale_exact takes: 10^e = 5^e × 2^e, and 5^27 < 2^63, so a product
// fits in 128 bits and a reciprocal's divisor in 64.
inline constexpr int max_exact_exponent = 27;

// The correctly rounded w × 10^e, for 0 < w < 2^64 and -27 <= e <= 27, in integer arithmetic.
// Inline, so that each kernel set compiles it with its own instructions.
inline double scale_exact(std::uint64_t w, int e) noexcept {
    if (e >= 0)
        return scaling::round_to_double(static_cast<scaling::u128>(w) * scaling::pow5[e], e);
    const int k = -e;
    // w / 5^k through the truncated reciprocal. In the units of u below, the exact quotient is
    // T = W × 2^(64 + t) / 5^k, and u < T < u + 2: r is truncated, and no power of two is a
    // multiple of 5^k. Let U be the unit of the 53rd bit kept and L = T mod U the part of T
    // that rounding drops.
    //  - For k >= 5, t >= shift, so T / U = N / 5^k for an integer N and L = U j / 5^k for an
    //    integer j. As 5^k is odd, L is exactly U / 2 or at least U / (2 × 5^k) > 2^10 from it
    //    (U >= 2^74 and 5^k < 2^63), and exactly 0 or at least U / 5^k from 0 and from U.
    //  - For k <= 4, L = 2^(64 + t) j / 5^k, and the same holds with gaps beyond 2^55.
    // So the dropped bits of u decide the rounding as those of T would, except where T is an
    // exact tie (L = U / 2) or exactly a double (L = 0). There T is an integer, u = T - 1, and
    // u's dropped bits D read U / 2 - 1 or U - 1. The second rounds up to T's 53 bits, rightly;
    // the first is a tie, which goes to the even neighbour. D is never U / 2 itself, nor within
    // 2^10 of it but for the tie, so T rounds up exactly when D + (m & 1) >= U / 2, where m is
    // the 53 bits kept: when D + U / 2 + (m & 1) carries out of D's bits. No division is
    // needed.
    // (tests/number/scale_test.cpp tries ties, exact values and their neighbours against strtod.)
    const int w_shift = std::countl_zero(w);
    const std::uint64_t big_w = w << w_shift;
    const scaling::reciprocal& inverse = scaling::reciprocals[static_cast<std::size_t>(k)];
    const scaling::u128 low =
        static_cast<scaling::u128>(big_w) * static_cast<std::uint64_t>(inverse.r);
    const scaling::u128 u =
        static_cast<scaling::u128>(big_w) * static_cast<std::uint64_t>(inverse.r >> 64) +
        (low >> 64);
    // u has its top bit at 127 or 126; it keeps 53 bits and drops `64 + shift` below them.
    // Written without branches on the data: the rounding goes either way at random.
    const auto high = static_cast<std::uint64_t>(u >> 64);
    const auto rest_low = static_cast<std::uint64_t>(u);
    const int top = static_cast<int>(high >> 63);
    const int shift = 10 + top;
    const std::uint64_t m = high >> shift;
    const std::uint64_t rest_high = high & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half_high = std::uint64_t{1} << (shift - 1);
    // D's low 64 bits carry only when they are all ones and m is odd.
    const std::uint64_t carry = (m & 1) & static_cast<std::uint64_t>(rest_low == ~std::uint64_t{0});
    const std::uint64_t up = (rest_high + half_high + carry) >> shift;
    // value = u × 2^(64 - 128 - t - w_shift - k) = m × 2^(shift - t - w_shift - k)
    return scaling::assemble(static_cast<std::uint64_t>(shift - inverse.t - w_shift - k + 1075),
                             m + up);
}

// The correctly rounded w × 10^e for -27 <= e <= 27.
inline double scale(std::uint64_t w, int e) noexcept {
    // For |e| <= 22, w and 10^|e| (at most 5^22 × 2^22, 5^22 < 2^53) are both exact doubles,
    // so one IEEE operation rounds the exact product or quotient once, to nearest. Both are
    // computed and one is kept, so that no branch depends on the exponent's sign, which data
    // such as %e output has either way at random.
    //
    // The two conditions are made one value that the compiler cannot see through, so that they
    // are one branch: left to itself, GCC tests the exponent's range first, which for %.17e
    // output (digits above 2^53, exponents from -27 to -7) goes either way at random.
    bool one_operation = (w <= (std::uint64_t{1} << 53)) & (static_cast<unsigned>(e + 22) <= 44);
    asm("" : "+r"(one_operation));
    if (one_operation) {
        const double v = static_cast<double>(w);
        const double up = v * exact_powers_of_ten[e < 0 ? 0 : e];
        const double down = v / exact_powers_of_ten[e < 0 ? -e : 0];
        return e < 0 ? down : up;
    }
    if (w == 0) return 0.0;
    return scale_exact(w, e);
}

// The correctly rounded w / 10^k for 0 <= k <= 22: scale(w, -k) with no other sign to choose.
inline double scale_down(std::uint64_t w, int k) noexcept {
    if (w <= (std::uint64_t{1} << 53)) return static_cast<double>(w) / exact_powers_of_ten[k];
    return scale_exact(w, -k);
}

// The floating-point unit as it stands, which the conversions above need no more of: the
// rounding that a pass converts under where its set sets none (x87_rounding.hpp sets one).
struct default_rounding {};

inline double scale_down(std::uint64_t w, int k, const default_rounding&) noexcept {
    return scale_down(w, k);
}

// -v when `negative`, else v, for v >= +0, without a branch on the sign.
inline double with_sign(double v, bool negative) noexcept {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) |
                                 static_cast<std::uint64_t>(negative) << 63);
}

}  // namespace mean
