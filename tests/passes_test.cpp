// The counting pass, the mean pass and the result line, over in-memory files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "file.hpp"
#include "line_count.hpp"
#include "made_nan.hpp"
#include "mean.hpp"

namespace {

// An anonymous in-memory file holding `content`, positioned at its start.
mean::unique_fd memory_file(const std::string& content) {
    mean::unique_fd fd(::memfd_create("data", 0));
    EXPECT_TRUE(fd);
    EXPECT_EQ(mean::write_all(fd.get(), content.data(), content.size()), 0);
    EXPECT_EQ(::lseek(fd.get(), 0, SEEK_SET), 0);
    return fd;
}

std::string file_text(int fd) {
    std::string text(4096, '\0');
    const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

std::string repeat(const std::string& piece, std::size_t times) {
    std::string text;
    while (times-- != 0)
        text += piece;
    return text;
}

struct count_case {
    std::string content;
    std::int32_t lines;
};

class CountLines : public testing::TestWithParam<count_case> {};

TEST_P(CountLines, CountsNewlineBytes) {
    const auto fd = memory_file(GetParam().content);
    // The count, which a bound given is told as final.
    mean::line_bound bound;
    const mean::count_result result = mean::count_lines(fd.get(), &bound);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.lines, GetParam().lines);
    bool final = false;
    EXPECT_EQ(bound.at_least(0, final), GetParam().lines);
    EXPECT_TRUE(final);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CountLines,
    testing::Values(count_case{"", 0}, count_case{"1\n2\n3\n", 3}, count_case{"1\n2\n3", 2},
                    count_case{"1\r\n2\r\n", 2}, count_case{"\n\n\n", 3},
                    count_case{"one\ntwo\n", 2}, count_case{std::string("\n\0\n", 3), 2},
                    // Past the vector kernel's 63-round lanes and across read blocks.
                    count_case{repeat("\n", 64 * 63 * 3 + 17), 64 * 63 * 3 + 17},
                    count_case{repeat("12345678\n", 100000), 100000}));

TEST(CountLinesErrors, ReportsAFailedRead) {
    // A bound given is told of the lines counted before, then ended at 0.
    mean::line_bound bound;
    bound.counted(5);
    const mean::count_result result = mean::count_lines(-1, &bound);
    EXPECT_EQ(result.error, "Bad file descriptor");
    bool final = false;
    EXPECT_EQ(bound.at_least(0, final), 0);
    EXPECT_TRUE(final);
}

struct mean_case {
    std::string content;
    std::int32_t lines;
    std::string result;  // the result line, or the error
    std::int64_t error_line = 0;
};

class AverageValues : public testing::TestWithParam<mean_case> {};

TEST_P(AverageValues, ReadsLineCountNumbersInFileOrder) {
    const mean_case& c = GetParam();
    // The same result, or the same fault on the same line, whatever the size of the reads;
    // and with the count still being made (`beside`): half of it known at first, the final
    // count a few milliseconds later. The pass must wait for the rest where a read may hold
    // more numbers than the half allows (a read of 256 KiB of these short files always may;
    // reads of 3 bytes read on with the half first), and never read past it.
    for (const bool beside : {false, true}) {
        for (const std::size_t read_size :
             {mean::block_size, std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
            if (read_size < 64 && c.content.size() > 10000) continue;
            if (beside && (read_size == 1 || read_size == 64)) continue;
            const auto data = memory_file(c.content);
            mean::line_bound bound;
            bound.counted(static_cast<std::uint64_t>(c.lines / 2));
            std::jthread counter;
            if (beside) {
                counter = std::jthread([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    bound.finish(c.lines);
                });
            } else {
                bound.finish(c.lines);
            }
            const mean::average_result mean = mean::average_values(data.get(), bound, read_size);
            if (!mean.error.empty()) {
                EXPECT_EQ(mean.error, c.result) << read_size << ' ' << beside;
                EXPECT_EQ(mean.line, c.error_line) << read_size << ' ' << beside;
                continue;
            }
            const auto result = memory_file("");
            ASSERT_EQ(mean::write_result(result.get(), mean.mean), 0);
            EXPECT_EQ(file_text(result.get()), c.result) << read_size << ' ' << beside;
        }
    }
}

const std::string long_number = "1." + std::string(65534, '0');  // 65536 bytes
const std::string too_long = "expected a number, found more than 65536 bytes without white space";

INSTANTIATE_TEST_SUITE_P(
    Files, AverageValues,
    testing::Values(
        mean_case{"1\n2\n3\n", 3, "2.000000\n"}, mean_case{"1.5\n2.5\n", 2, "2.000000\n"},
        mean_case{"1\n2\n", 2, "1.500000\n"}, mean_case{"1\n1\n0\n", 3, "0.666667\n"},
        mean_case{"1\n2\n3", 2, "1.500000\n"}, mean_case{"1 2\n3 4\n", 2, "1.500000\n"},
        mean_case{"-0\n", 1, "0.000000\n"}, mean_case{"1e3\n-2.5E2\n", 2, "375.000000\n"},
        mean_case{"", 0, made_nan_line()}, mean_case{"1e308\n1e308\n", 2, "inf\n"},
        mean_case{"-1e308\n-1e308\n", 2, "-inf\n"}, mean_case{"inf\n-inf\n", 2, made_nan_line()},
        mean_case{"nan\n", 1, "nan\n"}, mean_case{"1\r\n2\r\n", 2, "1.500000\n"},
        mean_case{"1e20\n", 1, "100000000000000000000.000000\n"},
        mean_case{"0.1\n0.2\n0.3\n", 3, "0.200000\n"},
        mean_case{"0x1p-1\n0X1.8P1\n", 2, "1.750000\n"},
        mean_case{" \t+1\n\v\f2 \n", 2, "1.500000\n"},
        // A number cut by the end of a read is read whole, up to 64 KiB.
        mean_case{repeat("1\n", 131071) + long_number + "\n", 131072, "1.000000\n"},
        mean_case{repeat("1\n", 131071) + "x" + long_number.substr(1) + "\n", 131072,
                  "expected a number, found \"x.000000000000000000000000000000\"...", 131072},
        mean_case{repeat("1\n", 131071) + "1" + long_number + "\n", 131072, too_long, 131072},
        mean_case{"1\n" + long_number + "0\n", 2, too_long, 2},
        mean_case{repeat("1\n", 131071) + std::string(300000, '7'), 131072, too_long, 131072},
        mean_case{repeat("1\n", 131071) + "x" + std::string(300000, '7'), 131072, too_long, 131072},
        mean_case{"x" + long_number + "\n", 1, too_long, 1},
        // Where a number is due and none is found.
        mean_case{"1\n2\nthree\n", 3, "expected a number, found \"three\"", 3},
        mean_case{"1,5\n", 1, "expected a number, found \"1,5\"", 1},
        mean_case{"1\n\n\n1e5x\n", 2, "expected a number, found \"1e5x\"", 4},
        mean_case{"nan(12)\n", 1, "expected a number, found \"nan(12)\"", 1},
        mean_case{"\xEF\xBB\xBF"
                  "1\n",
                  1, "expected a number, found \"\\xEF\\xBB\\xBF1\"", 1},
        mean_case{std::string("\0\n", 2), 1, "expected a number, found \"\\x00\"", 1},
        mean_case{"\"q\\\n", 1, "expected a number, found \"\\\"q\\\\\"", 1},
        mean_case{"1\n2\n\n", 3, "3 lines but only 2 numbers"},
        mean_case{"1\n \n", 2, "2 lines but only 1 number"},
        mean_case{"1\n\n\n\n", 4, "4 lines but only 1 number"},
        mean_case{"\n", 1, "1 line but only 0 numbers"}));

// Files of mixed number forms and white space, read in reads of every size from one byte to
// several blocks: the mean is the one a plain strtod loop gives over the first line-count
// numbers, bit for bit, whatever the reads cut.
class AverageValuesRandom : public testing::TestWithParam<std::size_t> {};

TEST_P(AverageValuesRandom, MatchesAStrtodSumInFileOrder) {
    const std::size_t read_size = GetParam();
    std::mt19937_64 random(20261207 + read_size);
    const char* const forms[] = {"%.17g", "%.6f", "%.3f",   "%g",    "%.3e",
                                 "%a",    "%.0f", "%+.20f", "%.10f", "%.6E"};
    const char* const separators[] = {"\n", "\r\n", " \n", "\n\t", " ", "\t", "  \v"};
    const std::size_t size = std::min(3 * mean::block_size, 2000 * read_size);
    for (int file = 0; file < 4; ++file) {
        std::string content;
        std::vector<double> values;
        while (content.size() < size) {
            const double x = std::ldexp(static_cast<double>(random() >> 11) - 4.5e15,
                                        static_cast<int>(random() % 80) - 60);
            char text[128];
            std::snprintf(text, sizeof text, forms[random() % std::size(forms)], x);
            content += text;
            content += separators[random() % std::size(separators)];
            values.push_back(std::strtod(text, nullptr));
        }
        const auto lines =
            static_cast<std::int32_t>(std::count(content.begin(), content.end(), '\n'));
        double total = 0.0;
        for (std::int32_t i = 0; i < lines; ++i)
            total = values[static_cast<std::size_t>(i)] + total;
        const double expected = total / lines;

        const auto data = memory_file(content);
        const mean::average_result mean = mean::average_values(data.get(), lines, read_size);
        ASSERT_EQ(mean.error, "");
        EXPECT_EQ(std::bit_cast<std::uint64_t>(mean.mean), std::bit_cast<std::uint64_t>(expected))
            << mean.mean << " != " << expected;
    }
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, AverageValuesRandom,
                         testing::Values(1, 7, 100, 4096, mean::block_size));

TEST(WriteResult, ReportsAFailedWrite) {
    mean::unique_fd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full);
    EXPECT_EQ(mean::write_result(full.get(), 1.0), ENOSPC);
}

}  // namespace
