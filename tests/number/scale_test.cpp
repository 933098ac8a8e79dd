// scale_exact(w, e), and scale and scale_down, which take it for large w, against strtod of the
// text "<w>e<e>", bit for bit, and on x86-64 scale_down by the x87 too, on the inputs where a
// short cut in the rounding would show: multiples of 5^k, exact ties, the integers nearest to
// the midpoints between doubles, exactly representable values, each with its neighbours, and
// every w at the two ends of the range that reaches scale_exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "number/scale.hpp"
#if defined(__x86_64__)
#include "number/x87_rounding.hpp"
#endif

namespace {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

using Rng = std::mt19937_64;
constexpr int kMaxFailures = 10;
constexpr u128 kTwoTo64 = static_cast<u128>(1) << 64;
constexpr int kWidest = mean::max_exact_exponent;

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

std::uint64_t pow5(int k) {
    std::uint64_t p = 1;
    for (int i = 0; i < k; ++i)
        p *= 5;
    return p;
}

int bit_length(u128 n) {
    int length = 0;
    for (; n != 0; n >>= 1)
        ++length;
    return length;
}

// A uniform draw from [low, high].
std::uint64_t between(Rng& rng, std::uint64_t low, std::uint64_t high) {
    const std::uint64_t span = high - low;
    return span == ~std::uint64_t{0} ? rng() : low + rng() % (span + 1);
}

// An odd number of exactly `length` bits, 1 <= length <= 64.
std::uint64_t odd_of_length(Rng& rng, int length) {
    const std::uint64_t top = std::uint64_t{1} << (length - 1);
    return (rng() & (top - 1)) | top | 1;
}

std::string text_of(std::uint64_t w, int e) {
    char text[48];
    std::snprintf(text, sizeof text, "%llue%d", static_cast<unsigned long long>(w), e);
    return text;
}

double reference(std::uint64_t w, int e) {
    return std::strtod(text_of(w, e).c_str(), nullptr);
}

// Compares scale_exact, and scale and scale_down, with strtod and records
// each disagreement, the first few in full.
class Checker {
  public:
    void check(std::uint64_t w, int e) {
        ++checked_;
        const double expected = reference(w, e);
        const auto compare = [&](const char* name, double got) {
            if (bits(got) != bits(expected) && ++failures_ <= kMaxFailures) {
                ADD_FAILURE() << name << "(" << w << ", " << e << ") for \"" << text_of(w, e)
                              << "\": bits " << std::hex << bits(got) << ", strtod gives "
                              << bits(expected) << std::dec;
            }
        };
        compare("scale_exact", mean::scale_exact(w, e));
        compare("scale", mean::scale(w, e));
        if (e <= 0 && e >= -22) {
            compare("scale_down", mean::scale_down(w, -e));
#if defined(__x86_64__)
            const mean::x87_double_rounding rounding;
            compare("scale_down in the x87", mean::scale_down(w, -e, rounding));
#endif
        }
    }

    // w + d for each d in [-reach, reach] with 0 < w + d < 2^64.
    void around(u128 w, int e, int reach = 2) {
        for (int d = -reach; d <= reach; ++d) {
            const auto step = static_cast<u128>(d < 0 ? -d : d);
            if (d < 0 && w <= step) continue;
            const u128 v = d < 0 ? w - step : w + step;
            if (v < kTwoTo64) check(static_cast<std::uint64_t>(v), e);
        }
    }

    // A construction of the test itself that strtod contradicts: the family is not what it
    // claims to be, and its checks prove less than they should.
    void bad_case(const std::string& why, std::uint64_t w, int e) {
        if (++bad_cases_ <= kMaxFailures) ADD_FAILURE() << why << " at \"" << text_of(w, e) << '"';
    }

    // At the end of a test: no disagreement, and at least `minimum` pairs checked.
    void finish(long minimum) const {
        EXPECT_EQ(failures_, 0) << "of " << checked_ << " pairs";
        EXPECT_EQ(bad_cases_, 0);
        EXPECT_GE(checked_, minimum);
        testing::Test::RecordProperty("pairs", std::to_string(checked_));
    }

  private:
    long checked_ = 0;
    long failures_ = 0;
    long bad_cases_ = 0;
};

// w = m × 5^k + d, d in [-2, 2], for e = -k: w / 5^k is whole or 1 / 5^k or 2 / 5^k off whole,
// where the truncation of the reciprocal of 5^k is hardest to see.
TEST(ScaleExact, MultiplesOfPowersOfFiveAndNeighbours) {
    Checker checker;
    Rng rng(0x5ca1e001);
    for (int k = 1; k <= kWidest; ++k) {
        const std::uint64_t p = pow5(k);
        const std::uint64_t m_max = (~std::uint64_t{0} - 2) / p;
        const std::uint64_t m_53 = (std::uint64_t{1} << 53) / p;
        // m in [1, m_max] only; a near-zero start that goes below 1 wraps above m_max.
        const auto multiple = [&](std::uint64_t m) {
            if (m >= 1 && m <= m_max) checker.around(static_cast<u128>(m) * p, -k);
        };
        for (std::uint64_t i = 0; i < 400; ++i) {
            multiple(i + 1);                // the smallest
            multiple(m_max - i);            // the largest
            multiple(m_53 + i - 200);       // w about 2^53
            multiple(m_max / 2 + i - 200);  // w about 2^63
        }
        for (int i = 0; i < 1500; ++i) {
            multiple(between(rng, 1, m_max));
            // Log-uniform, for the small quotients too.
            const int length = static_cast<int>(between(rng, 1, bit_length(m_max)));
            multiple(odd_of_length(rng, length) & ~(rng() & 1));
        }
    }
    checker.finish(kWidest * 5 * 2000);
}

// w × 10^e exactly halfway between two doubles: w × 10^e = c × 2^s with c odd of 54 bits, so
// that ties to even decides. For e = -k this needs w = c × 5^k × 2^(s + k) < 2^64, so k <= 4
// (5^5 × 2^53 > 2^64); for e >= 0, w = c' × 2^j with c' × 5^e = c.
TEST(ScaleExact, ExactTiesAndNeighbours) {
    Checker checker;
    Rng rng(0x5ca1e002);
    // A tie, the doubles on either side of it, and its neighbours.
    const auto tie = [&](u128 w, int e, std::uint64_t c, int s) {
        const double lower = std::ldexp(static_cast<double>((c - 1) / 2), s + 1);
        const double upper = std::ldexp(static_cast<double>((c + 1) / 2), s + 1);
        const auto v = static_cast<std::uint64_t>(w);
        const double at = reference(v, e);
        if (at != lower && at != upper) checker.bad_case("not between the doubles by it", v, e);
        if (reference(v - 1, e) > lower || reference(v + 1, e) < upper)
            checker.bad_case("neighbours do not straddle it", v, e);
        checker.around(w, e);
    };
    for (int k = 1; k <= 4; ++k) {
        const std::uint64_t p = pow5(k);
        for (int i = 0; i < 3000; ++i) {
            std::uint64_t c = odd_of_length(rng, 54);
            if (i == 0) c = (std::uint64_t{1} << 53) + 1;
            if (i == 1) c = (std::uint64_t{1} << 54) - 1;
            for (int j = 0; static_cast<u128>(c) * p << j < kTwoTo64; ++j)
                tie(static_cast<u128>(c) * p << j, -k, c, j - k);
        }
    }
    // (c' × 5^e has 54 bits only while 5^e < 2^54, so up to e = 23.)
    for (int e = 0; pow5(e) < std::uint64_t{1} << 54; ++e) {
        const std::uint64_t p = pow5(e);
        // The odd c' with 2^53 < c' × 5^e < 2^54.
        const std::uint64_t low = ((std::uint64_t{1} << 53) / p + 1) | 1;
        const std::uint64_t high = ((std::uint64_t{1} << 54) - 1) / p;
        const std::uint64_t count = (high - low) / 2 + 1;
        for (std::uint64_t i = 0; i < std::min<std::uint64_t>(count, 200); ++i) {
            std::uint64_t cp = count <= 200 ? low + 2 * i : low + 2 * (rng() % count);
            if (count > 200 && i == 0) cp = low;
            if (count > 200 && i == 1) cp = low + 2 * (count - 1);
            for (int j = 0; static_cast<u128>(cp) << j < kTwoTo64; ++j)
                tie(static_cast<u128>(cp) << j, e, cp * p, j + e);
        }
    }
    checker.finish(500000);
}

// For random doubles x, the integer w nearest to the midpoint between x and the next double,
// divided by 10^e, in exact integer arithmetic, and w - 2 to w + 2.
TEST(ScaleExact, NearestToMidpointsAndNeighbours) {
    Checker checker;
    Rng rng(0x5ca1e003);
    for (int e = -kWidest; e <= kWidest; ++e) {
        const int k = e < 0 ? -e : 0;
        const std::uint64_t p = pow5(e < 0 ? -e : e);
        // x = X × 2^q, 2^52 <= X < 2^53; the midpoint is (2X + 1) × 2^(q - 1).
        const int q_zero = static_cast<int>(std::floor(e * 3.321928094887362)) - 52;
        for (int i = 0; i < 3000; ++i) {
            const std::uint64_t x_bits = odd_of_length(rng, 53) ^ (rng() & 1);
            // w of about `length` bits, one in two of them above 2^53.
            const int length =
                static_cast<int>(i % 2 == 0 ? between(rng, 53, 64) : between(rng, 2, 64));
            const int q = q_zero + length;
            const u128 twice = 2 * static_cast<u128>(x_bits) + 1;
            u128 w;
            if (e < 0) {
                // The midpoint × 10^k = (2X + 1) × 5^k × 2^(q - 1 + k).
                const u128 n = twice * p;
                const int s = q - 1 + k;
                if (s >= 0) {
                    if (bit_length(n) + s > 64) continue;
                    w = n << s;
                } else {
                    if (-s >= 127) continue;
                    w = (n + (static_cast<u128>(1) << (-s - 1))) >> -s;
                }
            } else {
                // The midpoint / 10^e = (2X + 1) × 2^(q - 1 - e) / 5^e.
                const int s = q - 1 - e;
                if (s >= 0) {
                    if (bit_length(twice) + s > 120) continue;
                    w = ((twice << s) + p / 2) / p;
                } else {
                    if (bit_length(p) - s > 120) continue;
                    const u128 d = static_cast<u128>(p) << -s;
                    w = (twice + d / 2) / d;
                }
            }
            if (w < 3 || w > kTwoTo64 - 3) continue;
            const double x = std::ldexp(static_cast<double>(x_bits), q);
            const auto v = static_cast<std::uint64_t>(w);
            if (reference(v - 2, e) > x || reference(v + 2, e) <= x)
                checker.bad_case("w - 2 and w + 2 do not straddle the midpoint", v, e);
            checker.around(w, e);
        }
    }
    checker.finish((2 * kWidest + 1) * 5 * 2500);
}

// w × 10^e exactly a double: w = M × 5^k × 2^E for e = -k, or w = M × 2^E with M × 5^e below
// 2^53 for e >= 0 (so e <= 22); and the neighbours, whose quotients sit just off a double.
TEST(ScaleExact, ExactlyRepresentableAndNeighbours) {
    Checker checker;
    Rng rng(0x5ca1e004);
    for (int e = -kWidest; e <= 22; ++e) {
        const std::uint64_t p = pow5(e < 0 ? -e : e);
        // For e >= 0, one bit more than always fits; a draw with M × 5^e too long is halved.
        const int max_length = e < 0 ? 64 - bit_length(p) : 54 - bit_length(p);
        for (int i = 0; i < 2000; ++i) {
            const int length = static_cast<int>(between(rng, 1, std::min(53, max_length)));
            std::uint64_t m = odd_of_length(rng, length);
            if (e >= 0 && static_cast<u128>(m) * p >= static_cast<u128>(1) << 53) m >>= 1;
            if (m == 0) m = 1;
            const u128 base = e < 0 ? static_cast<u128>(m) * p : static_cast<u128>(m);
            const int room = 64 - bit_length(base);
            // The largest shift puts w's top bit at 63; one random shift besides.
            for (const int shift : {room, static_cast<int>(between(rng, 0, room))}) {
                const auto w = static_cast<std::uint64_t>(base << shift);
                const double exact = e < 0 ? std::ldexp(static_cast<double>(m), shift + e)
                                           : std::ldexp(static_cast<double>(m * p), shift + e);
                if (reference(w, e) != exact) checker.bad_case("not exactly a double", w, e);
                checker.around(w, e);
            }
        }
    }
    checker.finish((kWidest + 23) * 2000 * 2 * 5 - 1000);
}

// w / 10^k just below a power of two 2^j, where the doubles below are twice as close as those
// above and a quotient rounded up to 2^j is furthest from the nearest: w = 2^j × 10^k less
// about 0 to 4 of the spaces below 2^j, and their neighbours, for every j with w above 2^53.
TEST(ScaleExact, JustBelowPowersOfTwo) {
    Checker checker;
    Rng rng(0x5ca1e005);
    for (int k = 1; k <= kWidest; ++k) {
        const std::uint64_t p = pow5(k);
        for (int j = -k; j < 64; ++j) {
            // 2^j × 10^k = 5^k × 2^(j + k)
            if (bit_length(p) + j + k > 64) break;
            const u128 center = static_cast<u128>(p) << (j + k);
            if (center <= static_cast<u128>(1) << 53) continue;
            const u128 space = center >> 54;  // in units of w, the space below 2^j, rounded
            for (int halves = 0; halves <= 8; ++halves)
                checker.around(center - space * halves / 2, -k);
            for (int i = 0; i < 20; ++i)
                checker.around(center - static_cast<u128>(rng() % (4 * space + 1)), -k);
        }
    }
    checker.finish(10000);
}

// Every w in [2^64 - 2^16, 2^64) and in [2^53, 2^53 + 2^16), for every e.
TEST(ScaleExact, EveryWordBelowTwoToThe64) {
    Checker checker;
    for (int e = -kWidest; e <= kWidest; ++e)
        for (std::uint64_t i = 1; i <= std::uint64_t{1} << 16; ++i)
            checker.check(0 - i, e);
    checker.finish((2 * kWidest + 1) << 16);
}

TEST(ScaleExact, EveryWordFromTwoToThe53) {
    Checker checker;
    for (int e = -kWidest; e <= kWidest; ++e)
        for (std::uint64_t i = 0; i < std::uint64_t{1} << 16; ++i)
            checker.check((std::uint64_t{1} << 53) + i, e);
    checker.finish((2 * kWidest + 1) << 16);
}

#if defined(__x86_64__)
// The guard sets the precision and the rounding that the x87 division needs, whatever it finds,
// and puts back what it found, which callers keep across calls.
TEST(X87DoubleRounding, SetsDoubleToNearestAndPutsBackTheControlWord) {
    const auto control = [] {
        std::uint16_t word;
        asm volatile("fnstcw %0" : "=m"(word));
        return word;
    };
    const auto set = [](std::uint16_t word) { asm volatile("fldcw %0" : : "m"(word)); };
    const std::uint16_t before = control();
    // As found at start, with 64-bit precision rounding toward zero, and with 24-bit precision
    // rounding down.
    for (const auto found : {before, static_cast<std::uint16_t>(before | 0x0F00),
                             static_cast<std::uint16_t>((before & ~0x0F00) | 0x0400)}) {
        set(found);
        {
            const mean::x87_double_rounding rounding;
            EXPECT_EQ(control(), (found & ~0x0F00) | 0x0200) << std::hex << found;
            // (2^63 - 1) / 10 is 76.7 above a double and 51.3 below the next: rounded toward
            // zero, it would be the lower.
            EXPECT_EQ(bits(mean::scale_down(0x7FFFFFFFFFFFFFFF, 1, rounding)),
                      bits(reference(0x7FFFFFFFFFFFFFFF, -1)));
        }
        EXPECT_EQ(control(), found);
    }
    set(before);
}
#endif

}  // namespace
