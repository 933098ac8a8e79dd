#include "scale.hpp"

#include <array>
#include <bit>
#include <cstdint>

namespace mean {
namespace {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

constexpr std::uint64_t pow5[23] = {1,
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
                                    2384185791015625};

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

constexpr auto reciprocals = [] {
    std::array<reciprocal, 23> table{};
    for (std::size_t k = 1; k < table.size(); ++k)
        table[k] = make_reciprocal(pow5[k]);
    return table;
}();

// The double m × 2^(biased - 1075), for a 53-bit m with its leading one in bit 52, or m = 2^53
// after rounding up: the carry out of the mantissa lands in the exponent field, as it should.
double assemble(std::uint64_t biased, std::uint64_t m) noexcept {
    return std::bit_cast<double>(((biased - 1) << 52) + m);
}

// The nearest double to (n + fraction) × 2^binary_exponent, ties to even, where n != 0, the
// fraction lies in [0, 1) and `sticky` tells whether it is above 0. The result must be normal.
double round_to_double(u128 n, int binary_exponent, bool sticky) noexcept {
    const auto high = static_cast<std::uint64_t>(n >> 64);
    const int zeros =
        high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(n));
    n <<= zeros;
    binary_exponent -= zeros;
    const auto top = static_cast<std::uint64_t>(n >> 64);
    const bool rest = (top & 0x3FF) != 0 || static_cast<std::uint64_t>(n) != 0 || sticky;
    std::uint64_t m = top >> 11;  // 53 bits, the leading one included
    if (((top >> 10) & 1) != 0 && (rest || (m & 1) != 0)) ++m;
    // m × 2^(binary_exponent + 75)
    return assemble(static_cast<std::uint64_t>(binary_exponent + 75 + 1075), m);
}

// The correctly rounded w × 2^-k / 5^k, 1 <= k <= 22, by one exact division.
double divide_exact(std::uint64_t w, int k) noexcept {
    // Both operands normalized, the numerator's top bit at 126 and the divisor's at 63:
    // the quotient has 63 or 64 bits and fits one 128-by-64-bit division.
    const int w_shift = std::countl_zero(w);
    const int d_shift = std::countl_zero(pow5[k]);
    const std::uint64_t divisor = pow5[k] << d_shift;
    const std::uint64_t high = (w << w_shift) >> 1;
    const std::uint64_t low = (w << w_shift) << 63;
    std::uint64_t quotient;
    std::uint64_t remainder;
#if defined(__x86_64__)
    __asm__("divq %4" : "=a"(quotient), "=d"(remainder) : "a"(low), "d"(high), "rm"(divisor));
#else
    const u128 numerator = (static_cast<u128>(high) << 64) | low;
    quotient = static_cast<std::uint64_t>(numerator / divisor);
    remainder = static_cast<std::uint64_t>(numerator % divisor);
#endif
    // w × 2^-k / 5^k = (quotient + fraction) × 2^(d_shift - w_shift - 63 - k)
    return round_to_double(quotient, d_shift - w_shift - 63 - k, remainder != 0);
}

}  // namespace

// 10^e = 5^e × 2^e, and 5^22 < 2^52, so a product fits in 128 bits.

double scale_exact(std::uint64_t w, int e) noexcept {
    if (e >= 0) return round_to_double(static_cast<u128>(w) * pow5[e], e, false);
    const int k = -e;
    // w / 5^k through the truncated reciprocal: the 128-bit head u of the 192-bit product
    // W × r falls short of the true W / 5^k (in the same units) by less than 2. That decides
    // the rounding unless the bits below the 53 kept lie within 2 of the halfway point or of
    // the next unit; then the exact division decides.
    const int w_shift = std::countl_zero(w);
    const std::uint64_t big_w = w << w_shift;
    const reciprocal& inverse = reciprocals[static_cast<std::size_t>(k)];
    const u128 low = static_cast<u128>(big_w) * static_cast<std::uint64_t>(inverse.r);
    const u128 u =
        static_cast<u128>(big_w) * static_cast<std::uint64_t>(inverse.r >> 64) + (low >> 64);
    // u has its top bit at 127 or 126; it keeps 53 bits and drops `64 + shift` below them.
    // Written without branches on the data: the rounding goes either way at random.
    const auto high = static_cast<std::uint64_t>(u >> 64);
    const auto rest_low = static_cast<std::uint64_t>(u);
    const int top = static_cast<int>(high >> 63);
    const int shift = 10 + top;
    const std::uint64_t m = high >> shift;
    const std::uint64_t rest_high = high & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half_high = std::uint64_t{1} << (shift - 1);
    // Too close to call: the dropped bits are half a unit or one below, or the unit less 1 or 2.
    const bool near_half = (rest_high == half_high && rest_low == 0) ||
                           (rest_high == half_high - 1 && rest_low == ~std::uint64_t{0});
    const bool near_unit =
        rest_high == (std::uint64_t{1} << shift) - 1 && rest_low >= ~std::uint64_t{1};
    if (near_half || near_unit) return divide_exact(w, k);
    const std::uint64_t up = (rest_high > half_high) | ((rest_high == half_high) & (rest_low != 0));
    // value = u × 2^(64 - 128 - t - w_shift - k) = m × 2^(shift - t - w_shift - k)
    return assemble(static_cast<std::uint64_t>(shift - inverse.t - w_shift - k + 1075), m + up);
}

}  // namespace mean
