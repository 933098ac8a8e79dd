// Division by a power of ten in the x87 unit, for the digits beyond 2^53 that a double cannot
// hold: the x87 holds a 64-bit integer exactly, and with its precision control set to 53 bits
// it rounds a quotient once, to the double it should be. Only on x86-64, where every CPU has
// the unit. (Valgrind computes x87 arithmetic in doubles and ignores the precision control:
// under it, such digits are rounded twice and may come out one bit off.)
#pragma once

#if !defined(__x86_64__)
#error "the x87 division is for x86-64 only"
#endif

#include <cstdint>

#include "number/scale.hpp"

namespace mean {

// While one lives, the x87 unit of this thread rounds the results of its arithmetic to 53 bits,
// to nearest, ties to even (precision control 10, rounding control 00); it puts back the
// control word it found, as the ABI has every function do for its callers. The SSE registers,
// which every other floating-point operation of the tool uses, have their own control and are
// not touched. Nothing that runs while the pass holds one may compute in the x87 expecting its
// 64 bits: the tool has no long double, and the C library's strtod, which the pass calls for
// hexadecimal and out-of-range numbers, must round in integers, as glibc's does (the baseline
// set takes the x87 division only with glibc).
class x87_double_rounding {
  public:
    x87_double_rounding() noexcept {
        asm volatile("fnstcw %0" : "=m"(saved_) : : "memory");
        const auto rounding = static_cast<std::uint16_t>((saved_ & ~0x0F00) | 0x0200);
        asm volatile("fldcw %0" : : "m"(rounding) : "memory");
    }
    ~x87_double_rounding() { asm volatile("fldcw %0" : : "m"(saved_) : "memory"); }
    x87_double_rounding(const x87_double_rounding&) = delete;
    x87_double_rounding& operator=(const x87_double_rounding&) = delete;

  private:
    std::uint16_t saved_;
};

// scale_down(w, k), the correctly rounded w / 10^k for 0 <= k <= 22, in one x87 division where
// 2^53 < w < 2^63, while `rounding` lives. Proof: FILD loads a signed 64-bit integer exactly
// (its significand has 64 bits; precision control rounds only the results of arithmetic:
// FADD, FSUB, FMUL, FDIV, FSQRT), and 10^k, an exact double for k <= 22, loads exactly. FDIV
// then rounds the exact quotient once to 53 bits, to nearest, ties to even. Its exponent has
// the x87's 15 bits, but the quotient, above 2^53 / 10^22 > 2^-21 and below 2^63, is a normal
// double: storing it as one changes nothing, and it is the double nearest to w / 10^k. (A
// double division would round w first, and an 80-bit one without the precision control
// would round twice, each now and then wrongly; tests/number/scale_test.cpp tries ties and
// their neighbours against strtod.) w >= 2^63, which FILD would read as negative, keeps the
// exact scaling.
inline double scale_down(std::uint64_t w, int k, const x87_double_rounding& rounding) noexcept {
    static_cast<void>(rounding);  // the precision control the division needs
    if (w <= (std::uint64_t{1} << 53)) return static_cast<double>(w) / exact_powers_of_ten[k];
    if (static_cast<std::int64_t>(w) >= 0) [[likely]] {
        // In assembly, volatile, so that it stays between the guard's changes of the control
        // word, and no compiler's own use of the x87 comes into it.
        double quotient;
        asm volatile("fildq %1\n\tfdivl %2\n\tfstpl %0"
                     : "=m"(quotient)
                     : "m"(w), "m"(exact_powers_of_ten[k])
                     : "st");
        return quotient;
    }
    return scale_exact(w, -k);
}

}  // namespace mean
