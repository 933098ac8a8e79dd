// scale_by_powers_of_five(w, q) against strtod of the text "<w>e<q>", bit for bit, whenever it
// gives a result: on w of every size with every exponent, on the significands and exponents of
// printed doubles, and on exact ties between two doubles and their neighbours, the one place
// where the rounding is not settled by an approximate product.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "number/powers_of_five.hpp"

namespace {

// Compares one (w, q) with strtod; returns whether scale_by_powers_of_five gave a result.
bool check(std::uint64_t w, std::int64_t q) {
    char text[48];
    std::snprintf(text, sizeof text, "%llue%lld", static_cast<unsigned long long>(w),
                  static_cast<long long>(q));
    double value = 0.0;
    if (!mean::scale_by_powers_of_five(w, q, value)) return false;
    const double expected = std::strtod(text, nullptr);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected)) << text;
    return true;
}

TEST(ScaleByPowersOfFive, EveryExponentWithWordsOfEverySize) {
    std::mt19937_64 random(342);
    long decided = 0;
    long tried = 0;
    for (std::int64_t q = -342; q <= 308; ++q) {
        for (int i = 0; i < 300; ++i) {
            const std::uint64_t w = random() >> (random() % 64);
            if (w == 0) continue;
            ++tried;
            decided += check(w, q);
        }
    }
    // Only results near zero, the subnormals and infinity are left undecided.
    EXPECT_GT(decided, tried * 9 / 10);
}

TEST(ScaleByPowersOfFive, PrintedDoublesOfEveryExponent) {
    // The 17 significant digits of a double and its exponent, as %.16e prints them, read back
    // to the same double; and the same with the last digit one more and one less.
    std::mt19937_64 random(308);
    long decided = 0;
    for (int i = 0; i < 200000; ++i) {
        const auto bits = (random() & 0x800FFFFFFFFFFFFF) | ((1 + random() % 2046) << 52);
        char text[40];
        std::snprintf(text, sizeof text, "%.16e", std::abs(std::bit_cast<double>(bits)));
        const std::uint64_t w = std::strtoull(text, nullptr, 10) * 10000000000000000 +
                                std::strtoull(text + 2, nullptr, 10);
        const std::int64_t q = std::strtoll(std::strchr(text, 'e') + 1, nullptr, 10) - 16;
        decided += check(w, q);
        check(w + 1, q);
        check(w - 1, q);
    }
    EXPECT_GT(decided, 199000);
}

TEST(ScaleByPowersOfFive, ExactTiesAndNeighbours) {
    // w × 10^q exactly halfway between two doubles: an odd significand of 54 bits. For q >= 0
    // that is w × 5^q, so 5^q must fit 54 bits (q <= 23); for q < 0, w / 5^-q, so w holds
    // 5^-q and w < 2^64 leaves q >= -4.
    std::mt19937_64 random(23);
    long decided = 0;
    for (std::int64_t q = -4; q <= 23; ++q) {
        std::uint64_t five = 1;
        for (std::int64_t k = 0; k < std::abs(q); ++k)
            five *= 5;
        for (int i = 0; i < 2000; ++i) {
            std::uint64_t w;
            if (q >= 0) {
                // An odd w with w × 5^q of 54 bits, shifted up as far as 64 bits allow.
                const std::uint64_t low = ((std::uint64_t{1} << 53) + five - 1) / five;
                const std::uint64_t high = ((std::uint64_t{1} << 54) - 1) / five;
                if (low > high) break;
                w = (low + random() % (high - low + 1)) | 1;
                if (w > high) w -= 2;
                if (w < low) continue;
                w <<= random() % (std::countl_zero(w) + 1);
            } else {
                w = (((std::uint64_t{1} << 53) | random() % (std::uint64_t{1} << 53)) | 1) * five;
            }
            for (const std::uint64_t neighbour : {w - 1, w, w + 1})
                decided += check(neighbour, q);
        }
    }
    EXPECT_GT(decided, 1000);
}

TEST(ScaleByPowersOfFive, EdgesOfTheNormalRange) {
    // The largest and smallest normal doubles and their neighbours, written with 17 and with
    // 19 digits; beyond them the general reader decides.
    const struct {
        std::uint64_t w;
        std::int64_t q;
    } cases[] = {{17976931348623157, 292},
                 {17976931348623158, 292},
                 {17976931348623159, 292},
                 {1797693134862315708, 290},
                 {1797693134862315807, 290},
                 {22250738585072014, -324},
                 {22250738585072013, -324},
                 {22250738585072012, -324},
                 {2225073858507201136, -326},
                 {1, 308},
                 {1, -307},
                 {18446744073709551615u, 289}};
    for (const auto& c : cases)
        check(c.w, c.q);
}

}  // namespace
