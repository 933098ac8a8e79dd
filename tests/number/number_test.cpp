// The number reader on texts whose value or refusal is known by construction.
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "number/number.hpp"

namespace {

// Accepted texts: what is read, and where the number ends (the rest follows it).
struct accepted_case {
    std::string text;
    std::size_t length;
};

class NumberAccepted : public testing::TestWithParam<accepted_case> {};

TEST_P(NumberAccepted, GivesStrtodBitsAndEnd) {
    const auto& [text, length] = GetParam();
    double value = -1.0;
    const char* end = mean::parse_number(text.data(), text.data() + text.size(), value);
    ASSERT_EQ(static_cast<std::size_t>(end - text.data()), length) << text;
    char* strtod_end = nullptr;
    const double expected = std::strtod(text.c_str(), &strtod_end);
    EXPECT_EQ(strtod_end - text.c_str(), static_cast<std::ptrdiff_t>(length)) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected)) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberAccepted,
    testing::Values(accepted_case{"1", 1}, accepted_case{"-0", 2}, accepted_case{"+2.5", 4},
                    accepted_case{"1.", 2}, accepted_case{".5\n", 2}, accepted_case{"1e3 x", 3},
                    accepted_case{"-2.5E-2\t", 7}, accepted_case{"007", 3},
                    accepted_case{"0.1000000000000000055511151231257827", 36},
                    accepted_case{"123.45678901234567", 18},  // 17 digits: the exact scaling path
                    accepted_case{"18446744073709551615", 20},
                    accepted_case{"12345678901234567890123", 23},  // beyond 19 digits
                    accepted_case{"9007199254740993", 16},         // 2^53 + 1: a halfway case
                    accepted_case{"1e-400", 6}, accepted_case{"-1e400", 6},
                    accepted_case{"4.9406564584124654e-324", 23},
                    accepted_case{"2.4703282292062328e-324", 23}, accepted_case{"0e999999999", 11},
                    accepted_case{"0x1p-1", 6}, accepted_case{"-0X1.8P1\r", 8},
                    accepted_case{"0x.8", 4}, accepted_case{"0xA.", 4}, accepted_case{"inf", 3},
                    accepted_case{"-Infinity", 9}, accepted_case{"NaN\v", 3},
                    accepted_case{"-nan", 4}, accepted_case{"1\f", 1},
                    // Exponents beyond 32 bits, which the record saturates, and dropped digits
                    // or leading zeros that bring one back from near the edge.
                    accepted_case{"1e2147483648", 12}, accepted_case{"-1e-2147483649", 14},
                    accepted_case{"1e99999999999999999999", 22},
                    accepted_case{"100000000000000000000e-2147483647", 33},
                    accepted_case{"0.0000000000000000000001e2147483647", 35}));

// Texts that are not a number ending at white space or at the end of the text.
class NumberRefused : public testing::TestWithParam<std::string> {};

TEST_P(NumberRefused, ReturnsFirstAndKeepsValue) {
    const std::string& text = GetParam();
    double value = 42.0;
    EXPECT_EQ(mean::parse_number(text.data(), text.data() + text.size(), value), text.data())
        << text;
    EXPECT_EQ(value, 42.0) << text;
}

INSTANTIATE_TEST_SUITE_P(Texts, NumberRefused,
                         testing::Values("", "three", "1,5", "1e5x", "1e", "1e+", "nan(12)", "-",
                                         "+", ".", "-.", "0x", "0x.", "0xg", "0x1p", "1.2.3", "--1",
                                         "+-1", "infinit", "infx", "nanny", " 1",
                                         "\xEF\xBB\xBF"
                                         "1",
                                         std::string("\0", 1), std::string("1\0", 2), "1x", "e5",
                                         "1_000", "١"));

TEST(Number, StopsAtTheGivenEnd) {
    // The bytes after `last` are not the reader's: "12" of "123" is read as 12.
    const std::string text = "123";
    double value = 0;
    EXPECT_EQ(mean::parse_number(text.data(), text.data() + 2, value), text.data() + 2);
    EXPECT_EQ(value, 12.0);
}

TEST(Number, EveryShortDecimalMatchesStrtod) {
    // All texts of up to 7 characters over a small alphabet: the grammar's corners.
    const std::string alphabet = "09.e-+x";
    std::string text;
    std::size_t checked = 0;
    const auto visit = [&](auto&& self, std::size_t depth) -> void {
        if (!text.empty()) {
            double value = 0;
            const char* end = mean::parse_number(text.data(), text.data() + text.size(), value);
            char* strtod_end = nullptr;
            const double expected = std::strtod(text.c_str(), &strtod_end);
            const bool whole = *strtod_end == '\0' && strtod_end != text.c_str();
            ASSERT_EQ(end != text.data(), whole) << '"' << text << '"';
            if (whole) {
                ASSERT_EQ(std::bit_cast<std::uint64_t>(value),
                          std::bit_cast<std::uint64_t>(expected))
                    << text;
            }
            ++checked;
        }
        if (depth == 7) return;
        for (const char c : alphabet) {
            text.push_back(c);
            self(self, depth + 1);
            text.pop_back();
        }
    };
    visit(visit, 0);
    EXPECT_GT(checked, 900000u);
}

}  // namespace
