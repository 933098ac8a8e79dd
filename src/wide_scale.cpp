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
// (tests/number_test.cpp compares it with strtod on printed doubles of every exponent, on
// ties and on their neighbours.)
#include "wide_scale.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace mean {
namespace {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

constexpr int smallest_power = -342;  // w × 10^-343 < 2^64 × 10^-343 rounds to 0
constexpr int largest_power = 308;    // w × 10^309 is infinite for every w > 0

// A natural number of up to 13 × 64 bits, little end first: enough for 5^342 (795 bits). Only
// the first `size` limbs are used, which keeps the compiler's work on the table small.
struct big {
    std::uint64_t limbs[13] = {};
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
    constexpr int bit_length() const { return 64 * size - std::countl_zero(limbs[size - 1]); }
    constexpr bool bit(int i) const { return (limbs[i / 64] >> (i % 64) & 1) != 0; }
    constexpr bool at_least(const big& other) const {
        for (int i = size - 1; i >= 0; --i) {
            if (limbs[i] != other.limbs[i]) return limbs[i] > other.limbs[i];
        }
        return true;
    }
    // Both numbers have `size` limbs, and this one is the larger.
    constexpr void subtract(const big& other) {
        std::uint64_t borrow = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint64_t a = limbs[i];
            const std::uint64_t b = other.limbs[i];
            limbs[i] = a - b - borrow;
            borrow = (a < b || (a == b && borrow != 0)) ? 1 : 0;
        }
    }
    // Doubles a number below 2^(64 × size - 1).
    constexpr void double_it() {
        std::uint64_t carry = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint64_t next = limbs[i] >> 63;
            limbs[i] = limbs[i] << 1 | carry;
            carry = next;
        }
    }
};

struct power_of_five {
    std::uint64_t high;
    std::uint64_t low;
};

constexpr std::size_t table_size = largest_power - smallest_power + 1;

// The table described above, computed by the compiler: for q >= 0 the top 128 bits of 5^q;
// for q = -k < 0, floor(2^(z + 127) / 5^k), where 5^k has z bits, a quotient of exactly 128
// bits got by long division one bit at a time, plus one when k <= 27.
constexpr std::array<power_of_five, table_size> make_table() {
    std::array<power_of_five, table_size> table{};
    big power;
    power.limbs[0] = 1;
    for (int k = 0; k <= -smallest_power; ++k) {
        const int z = power.bit_length();
        if (k <= largest_power) {
            // Top 128 bits of 5^k.
            u128 top = 0;
            for (int i = 0; i < 128; ++i)
                top = top << 1 | (z - 1 - i >= 0 && power.bit(z - 1 - i) ? 1 : 0);
            table[static_cast<std::size_t>(k - smallest_power)] = {
                static_cast<std::uint64_t>(top >> 64), static_cast<std::uint64_t>(top)};
        }
        if (k > 0) {
            // 2^(z + 127) / 5^k: the remainder starts at 2^(z - 1) < 5^k and stays below
            // 2 × 5^k < 2^(z + 1), within one more limb than 5^k when z is a multiple of 64.
            big remainder;
            big divisor = power;
            divisor.size = remainder.size = z / 64 + 1;
            remainder.limbs[(z - 1) / 64] = std::uint64_t{1} << ((z - 1) % 64);
            u128 quotient = 0;
            for (int i = 0; i < 128; ++i) {
                remainder.double_it();
                const bool one = remainder.at_least(divisor);
                if (one) remainder.subtract(divisor);
                quotient = quotient << 1 | (one ? 1 : 0);
            }
            if (k <= 27) ++quotient;
            table[static_cast<std::size_t>(-k - smallest_power)] = {
                static_cast<std::uint64_t>(quotient >> 64), static_cast<std::uint64_t>(quotient)};
        }
        power.multiply(5);
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
