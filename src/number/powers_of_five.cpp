// The Eisel-Lemire way of turning w × 10^q into a double (Lemire, "Number Parsing at a Gigabyte
// per Second", Software: Practice and Experience, 2021), as fast_float does it: w, shifted so
// that its top bit is set, times a 128-bit approximation of 5^q gives the top bits of the
// significand, the binary exponent comes from q by a multiply and a shift, and the bits below
// the 54 kept say how to round.
//
// Why it is exact. The table holds 5^q, for q >= 0, truncated to its top 128 bits; for q < 0,
// the top 128 bits of 1 / 5^-q rounded down, plus one when -q <= 27. The product of w with the
// table's high word is checked: when the 9 bits below the 55 that decide the rounding are all
// ones, the error of leaving out the low word could carry into them, so the low word's product
// is added. Mushtak and Lemire ("Fast Number Parsing Without Fallback", Software: Practice and
// Experience, 2023) proved by exhausting every exponent and the worst w for it that the
// product is then always close enough to decide the rounding. Besides that proof, this
// implementation still gives up when the low 64 bits of the refined product are all ones, the
// only place where the dropped part of the product could still carry: there the general reader
// decides. Exact halfway cases need an exact product; they exist only for -4 <= q <= 23 (w
// below 2^64 takes at most 4 factors of 5 off a 54-bit odd significand, and 5^q must fit 54
// bits), where the table's entry is exact or rounded up, and there a product whose low 64 bits
// are 0 or 1 is such a tie and rounds to even.
// (tests/number/powers_of_five_test.cpp compares it with strtod on printed doubles of every
// exponent, on ties and on their neighbours.)
#include "number/powers_of_five.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace mean {
namespace {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

constexpr int smallest_power = -342;  // w × 10^-343 < 2^64 × 10^-343 rounds to 0
constexpr int largest_power = 308;    // w × 10^309 is infinite for every w > 0

// A natural number of up to 17 × 64 bits, little end first. Only the first `size` limbs are
// used, which keeps the compiler's work on the table small.
struct big {
    std::uint64_t limbs[17] = {};
    int size = 1;

    constexpr void multiply(std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (int i = 0; i < size; ++i) {
            const u128 product = static_cast<u128>(limbs[i]) * factor + carry;
            limbs[i] = static_cast<std::uint64_t>(product);
            carry = static_cast<std::uint64_t>(product >> 64);
        }
        if (carry != 0) limbs[size++] = carry;
    }
    // Divides by `divisor`, rounding down.
    constexpr void divide(std::uint64_t divisor) {
        u128 remainder = 0;
        for (int i = size - 1; i >= 0; --i) {
            const u128 part = remainder << 64 | limbs[i];
            limbs[i] = static_cast<std::uint64_t>(part / divisor);
            remainder = part % divisor;
        }
        while (size > 1 && limbs[size - 1] == 0)
            --size;
    }
    constexpr int bit_length() const { return 64 * size - std::countl_zero(limbs[size - 1]); }
    constexpr std::uint64_t limb(int i) const { return i < size ? limbs[i] : 0; }
    // The top 128 bits, shifted up when there are fewer.
    constexpr u128 top() const {
        const int shift = bit_length() - 128;
        if (shift <= 0) return (static_cast<u128>(limb(1)) << 64 | limb(0)) << -shift;
        const int i = shift / 64;
        const int off = shift % 64;
        const u128 low = static_cast<u128>(limb(i + 1)) << 64 | limb(i);
        return off == 0 ? low : low >> off | static_cast<u128>(limb(i + 2)) << (128 - off);
    }
};

struct power_of_five {
    std::uint64_t high;
    std::uint64_t low;
};

constexpr std::size_t table_size = largest_power - smallest_power + 1;

// The table described above, computed by the compiler. For q >= 0, the top 128 bits of 5^q.
// For q = -k < 0, where 5^k has z bits, floor(2^(z + 127) / 5^k), plus one when k <= 27: that
// is the top 128 bits of floor(2^1024 / 5^k), which has 1025 - z bits, and floor(2^1024 /
// 5^(k + 1)) is floor(2^1024 / 5^k) divided by 5 and rounded down, so one division by 5 a step
// gives them all.
constexpr std::array<power_of_five, table_size> make_table() {
    std::array<power_of_five, table_size> table{};
    const auto put = [&table](int q, u128 value) {
        table[static_cast<std::size_t>(q - smallest_power)] = {
            static_cast<std::uint64_t>(value >> 64), static_cast<std::uint64_t>(value)};
    };
    big power;  // 5^k
    power.limbs[0] = 1;
    for (int k = 0; k <= largest_power; ++k) {
        put(k, power.top());
        power.multiply(5);
    }
    big inverse;  // floor(2^1024 / 5^k)
    inverse.size = 17;
    inverse.limbs[16] = 1;
    for (int k = 1; k <= -smallest_power; ++k) {
        inverse.divide(5);
        put(-k, inverse.top() + (k <= 27 ? 1 : 0));
    }
    return table;
}

constexpr std::array<power_of_five, table_size> powers_of_five = make_table();

// Known entries, against which the construction above is held when it is compiled.
static_assert(powers_of_five[0 - smallest_power].high == 0x8000000000000000 &&
              powers_of_five[0 - smallest_power].low == 0);
static_assert(powers_of_five[1 - smallest_power].high == 0xA000000000000000);
static_assert(powers_of_five[27 - smallest_power].high == 0xCECB8F27F4200F3A);
static_assert(powers_of_five[-1 - smallest_power].high == 0xCCCCCCCCCCCCCCCC &&
              powers_of_five[-1 - smallest_power].low == 0xCCCCCCCCCCCCCCCD);
static_assert(powers_of_five[308 - smallest_power].high == 0x8E679C2F5E44FF8F);
static_assert(powers_of_five[-342 - smallest_power].high == 0xEEF453D6923BD65A);

}  // namespace

bool scale_by_powers_of_five(std::uint64_t w, std::int64_t q, double& value) noexcept {
    if (w == 0 || q < smallest_power || q > largest_power) return false;
    const int zeros = std::countl_zero(w);
    w <<= zeros;
    const power_of_five& power = powers_of_five[static_cast<std::size_t>(q - smallest_power)];
    u128 product = static_cast<u128>(w) * power.high;
    auto high = static_cast<std::uint64_t>(product >> 64);
    auto low = static_cast<std::uint64_t>(product);
    // 53 bits of significand, one to round with and one for the top bit's place, below which
    // 9 more bits of the high word are checked.
    constexpr std::uint64_t below_kept = 0x1FF;
    if ((high & below_kept) == below_kept) {
        const auto second = static_cast<std::uint64_t>(static_cast<u128>(w) * power.low >> 64);
        low += second;
        if (low < second) ++high;
        if (low == ~std::uint64_t{0}) return false;
    }
    const int top = static_cast<int>(high >> 63);
    const int shift = top + 9;
    std::uint64_t m = high >> shift;  // 54 or 55 bits: the significand and a rounding bit
    // The biased exponent: floor(log2(10^q)) + 63 + top - zeros, and 1023.
    std::int64_t biased = ((217706 * q) >> 16) + 63 + top - zeros + 1023;
    if (biased <= 0) return false;  // subnormal or zero
    if (low <= 1 && q >= -4 && q <= 23 && (m & 3) == 1 && (m << shift) == high) {
        m &= ~std::uint64_t{1};  // exactly halfway, to an even significand
    }
    m += m & 1;
    m >>= 1;
    if (m >= std::uint64_t{2} << 52) {  // rounding carried out of the significand
        m = std::uint64_t{1} << 52;
        ++biased;
    }
    if (biased >= 0x7FF) return false;  // infinite
    value = std::bit_cast<double>((m & ~(std::uint64_t{1} << 52)) |
                                  static_cast<std::uint64_t>(biased) << 52);
    return true;
}

}  // namespace mean
