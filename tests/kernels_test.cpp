// Every kernel set this CPU runs, against the scalar definitions: the white-space classifier
// against is_space, the newline count against std::count, and the mean pass's reading of
// numbers against parse_number.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernels.hpp"
#include "number.hpp"
#include "space.hpp"

namespace {

class Kernels : public testing::TestWithParam<const mean::kernel_set*> {};

std::string kernel_name(const testing::TestParamInfo<const mean::kernel_set*>& info) {
    return info.param->name;
}

TEST_P(Kernels, ClassifyEveryByteAsIsSpaceDoes) {
    for (int byte = 0; byte < 256; ++byte) {
        for (int at = 0; at < 64; ++at) {
            char text[64];
            std::memset(text, 'x', sizeof text);
            text[at] = static_cast<char>(byte);
            const std::uint64_t expected =
                mean::is_space(static_cast<char>(byte)) ? std::uint64_t{1} << at : 0;
            ASSERT_EQ(GetParam()->space_mask(text), expected) << "byte " << byte << " at " << at;
        }
    }
}

TEST_P(Kernels, CountNewlinesAsStdCountDoes) {
    std::mt19937_64 random(7);
    std::string text(70000, 'x');
    for (char& c : text)
        c = "\n\nx0 "[random() % 5];
    // Every length up to a few vector rounds, at every alignment, and long runs of newlines
    // that fill the byte lanes.
    for (std::size_t offset = 0; offset < 64; offset += 7)
        for (std::size_t size = 0; size < 600; ++size)
            ASSERT_EQ(GetParam()->count_newlines(text.data() + offset, size),
                      std::count(text.begin() + offset, text.begin() + offset + size, '\n'))
                << offset << " " << size;
    const std::string newlines(64 * 64 * 9 + 5, '\n');
    EXPECT_EQ(GetParam()->count_newlines(newlines.data(), newlines.size()), newlines.size());
    EXPECT_EQ(GetParam()->count_newlines(text.data(), text.size()),
              std::count(text.begin(), text.end(), '\n'));
}

// A text with the slack the kernels may read around it: 32 bytes before, and white space and
// 64 bytes after. The slack holds digits, so a kernel that reads a number into it is caught.
struct padded {
    explicit padded(const std::string& text)
        : bytes(std::string(64, '7') + text + ' ' + std::string(64, '7')) {}
    const char* first() const { return bytes.data() + 64; }
    const char* last() const { return bytes.data() + bytes.size() - 65; }
    std::string bytes;
};

TEST_P(Kernels, EveryShortTextReadsAsTheScalarReaderReadsIt) {
    // All texts of up to 6 characters over an alphabet of the grammar's corners, through the
    // kernel's fast scanner and its fallback.
    const std::string alphabet = "019.e-+x \n";
    std::string text;
    std::size_t checked = 0;
    std::size_t accepted = 0;
    const auto visit = [&](auto&& self, std::size_t depth) -> void {
        if (!text.empty() && !mean::is_space(text[0])) {
            const padded copy(text);
            double expected = 0.5;
            const char* const scalar_end = mean::parse_number(copy.first(), copy.last(), expected);
            double value = 0.5;
            const char* const end = GetParam()->read_number(copy.first(), copy.last(), value);
            ASSERT_EQ(end - copy.first(), scalar_end - copy.first()) << '"' << text << '"';
            ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
                << '"' << text << '"';
            ++checked;
            accepted += end != copy.first();
        }
        if (depth == 6) return;
        for (const char c : alphabet) {
            text.push_back(c);
            self(self, depth + 1);
            text.pop_back();
        }
    };
    visit(visit, 0);
    EXPECT_GT(checked, 800000u);
    EXPECT_GT(accepted, 10000u);
}

// Numbers of the shapes the fast scanner takes and of those next to them: up to 25 digits,
// the point anywhere, leading zeros, exponents of 0 to 4 digits, signs, CR LF.
std::string random_number(std::mt19937_64& random) {
    std::string text;
    const auto pick = [&](std::uint64_t n) { return random() % n; };
    if (pick(3) == 0) text += "+-"[pick(2)];
    const auto digits = 1 + pick(pick(4) == 0 ? 25 : 19);
    const auto zeros = pick(4) == 0 ? pick(digits + 1) : 0;
    for (std::uint64_t i = 0; i < digits; ++i)
        text += i < zeros ? '0' : static_cast<char>('0' + pick(10));
    if (pick(3) != 0) text.insert(pick(text.size() + 1), 1, '.');
    if (pick(3) == 0) {
        text += "eE"[pick(2)];
        if (pick(2) == 0) text += "+-"[pick(2)];
        for (auto n = pick(5); n > 0; --n)
            text += static_cast<char>('0' + pick(10));
    }
    return text;
}

TEST_P(Kernels, RandomNumbersReadAsTheScalarReaderReadsThem) {
    std::mt19937_64 random(20261208);
    std::size_t accepted = 0;
    for (int i = 0; i < 300000; ++i) {
        const std::string text = random_number(random);
        const padded copy(text);
        double expected = 0.5;
        const char* const scalar_end = mean::parse_number(copy.first(), copy.last(), expected);
        double value = 0.5;
        const char* const end = GetParam()->read_number(copy.first(), copy.last(), value);
        ASSERT_EQ(end - copy.first(), scalar_end - copy.first()) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
            << text;
        accepted += end != copy.first();
    }
    EXPECT_GT(accepted, 150000u);
}

TEST_P(Kernels, SumNumbersAsAScalarLoopDoes) {
    // Many numbers of mixed shapes and separators in one text, some texts with a refused word
    // among them: the same total, count and place of the fault as parse_number in a loop.
    std::mt19937_64 random(99);
    const char* const separators[] = {"\n", "\r\n", " ", "\t\n", "  \v\f"};
    for (int round = 0; round < 40; ++round) {
        std::string text;
        const int numbers = 1 + static_cast<int>(random() % 2000);
        const int bad = round % 3 == 0 ? static_cast<int>(random() % numbers) : -1;
        for (int i = 0; i < numbers; ++i) {
            text += i == bad ? "1.5x" : random() % 20 == 0 ? "-Inf" : random_number(random);
            text += separators[random() % std::size(separators)];
        }
        const padded copy(text);
        const char* const whole = copy.last();
        const auto wanted = static_cast<std::int32_t>(1 + random() % (numbers + 5));

        double total = 0.0;
        std::int32_t count = 0;
        const char* fault = nullptr;
        for (const char* p = copy.first(); count < wanted;) {
            while (p != whole && mean::is_space(*p))
                ++p;
            if (p == whole) break;
            double value;
            const char* const end = mean::parse_number(p, whole, value);
            if (end == p) {
                fault = p;
                break;
            }
            total = value + total;
            ++count;
            p = end;
        }
        const mean::block_sum sum = GetParam()->sum_numbers(copy.first(), whole, wanted, 0.0);
        ASSERT_EQ(sum.count, count) << round;
        ASSERT_EQ(sum.fault, fault) << round;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(sum.total), std::bit_cast<std::uint64_t>(total))
            << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Runnable, Kernels, testing::ValuesIn(mean::runnable_kernels()),
                         kernel_name);

TEST(KernelChoice, IsTheWidestTheCpuRuns) {
    // Under an emulated CPU the test names the kernel set it must get: MEAN_EXPECT_KERNELS.
    const char* expected = std::getenv("MEAN_EXPECT_KERNELS");
    const auto runnable = mean::runnable_kernels();
    ASSERT_FALSE(runnable.empty());
    EXPECT_STREQ(runnable.front()->name, "baseline");
    EXPECT_EQ(&mean::chosen_kernels(), runnable.back());
    if (expected != nullptr) {
        EXPECT_STREQ(mean::chosen_kernels().name, expected);
    }
}

}  // namespace
