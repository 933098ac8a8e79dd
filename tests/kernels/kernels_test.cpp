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

#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/space.hpp"

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

// Reads `text` with the kernel set's reader and with the scalar reader and expects the same
// length and bits.
void expect_read_as_scalar(const mean::kernel_set& kernels, const std::string& text) {
    const padded copy(text);
    double expected = 0.5;
    const char* const scalar_end = mean::parse_number(copy.first(), copy.last(), expected);
    double value = 0.5;
    const char* const end = kernels.read_number(copy.first(), copy.last(), value);
    EXPECT_EQ(end - copy.first(), scalar_end - copy.first()) << '"' << text << '"';
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
        << '"' << text << '"';
}

TEST_P(Kernels, DigitsAtTheEdgeOfSixtyFourBitsReadAsTheScalarReaderReadsThem) {
    // The vector scanners keep up to 20 digits when their value fits 64 bits (below
    // 18446744073709551616) and leave longer or larger ones to the scalar reader; 2^53 and
    // 10^22 bound the one-operation conversion.
    const char* const texts[] = {"18446744073709551615",
                                 "18446744073709551616",
                                 "18446744073709551625",
                                 "99999999999999999999",
                                 "10000000000000000000",
                                 "-18446744073709551615",
                                 "1844674407370955161.5",
                                 "1844674407370955161.6",
                                 "184467440737095516.16",
                                 ".18446744073709551615",
                                 "0.18446744073709551616",
                                 "00000000000000000001",
                                 "0.0000000000000000001",
                                 "0.00000000000000000001",
                                 "1234567890123456789",
                                 "12345678901234567890",
                                 "123456789012345678901",
                                 "9007199254740993",
                                 "9007199254740992.5",
                                 "-9007199254740993e-22",
                                 "9007199254740993e22",
                                 "1.8446744073709551615e3",
                                 "18446744073709551615e-5",
                                 "1.7976931348623157e308",
                                 "4.9406564584124654e-324",
                                 "1e-400",
                                 "-1e400",
                                 "1700000000.1234567890",
                                 "1799999999.9999999999",
                                 "-0.00000000000000000000",
                                 "18446744073709551616e-05",
                                 "-1844674407370955161.6E+19",
                                 "-0.e+00",
                                 "1.e-99",
                                 "+1.5e+05",
                                 "1.5e+5x"};
    for (const char* text : texts)
        expect_read_as_scalar(*GetParam(), text);
}

TEST_P(Kernels, EveryByteAfterANumberEndsItOrSpoilsItAsTheScalarReaderSays) {
    // The vector scanners find a number's end at the first byte up to ' ', or from the pass's
    // white-space bitmap: every other byte, control characters included, must spoil it.
    const char* const stems[] = {"7", "-12.5", "3e5", "12345678901234567890", "0.", "+.5E-3"};
    for (const char* stem : stems) {
        for (int byte = 1; byte < 256; ++byte)
            expect_read_as_scalar(*GetParam(), stem + std::string(1, static_cast<char>(byte)));
    }
    // The exponent %e writes, e, a sign and two digits, is told from its last four bytes at
    // once: every byte in each of those places.
    for (const std::string stem : {"1.5e+05", "-2E-99", "12345678901234567.8e-07"}) {
        for (std::size_t place = stem.size() - 4; place < stem.size(); ++place) {
            for (int byte = 1; byte < 256; ++byte) {
                std::string text = stem;
                text[place] = static_cast<char>(byte);
                expect_read_as_scalar(*GetParam(), text);
            }
        }
    }
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

// Where the scalar loop below stands in a text: at p, with the total and count of the numbers
// before it.
struct scalar_state {
    const char* p;
    double total = 0.0;
    std::int32_t count = 0;
};

// The scalar loop's state after the first n lines of the text at `first`, line i being the
// number line(i) and a newline: the values added in order, as the loop adds them, each
// distinct text (by its address) parsed once. The tests that place a text a few batches into
// the same few numbers spent most of their time, under emulation, parsing those again.
template <class Line>
scalar_state state_after(const char* first, std::size_t n, Line line) {
    std::vector<std::pair<const char*, double>> parsed;
    scalar_state state{first};
    for (std::size_t i = 0; i < n; ++i) {
        const char* const text = line(i);
        const std::size_t length = std::strlen(text);
        auto known = std::find_if(parsed.begin(), parsed.end(),
                                  [text](const auto& entry) { return entry.first == text; });
        if (known == parsed.end()) {
            double value = 0.0;
            EXPECT_EQ(mean::parse_number(text, text + length, value), text + length) << text;
            known = parsed.insert(parsed.end(), {text, value});
        }
        state = {state.p + length + 1, known->second + state.total, state.count + 1};
    }
    return state;
}

// Sums up to `wanted` numbers of [first, whole) with the kernel set's pass and with
// parse_number in a loop, and expects the same total, count and place of the fault. The
// loop starts from `from` where it is given, a state of the loop in that text.
void expect_sum_as_scalar_loop(const mean::kernel_set& kernels, const char* first,
                               const char* whole, std::int32_t wanted, int round,
                               const scalar_state& from = {nullptr}) {
    double total = from.total;
    std::int32_t count = from.count;
    const char* fault = nullptr;
    for (const char* p = from.p != nullptr ? from.p : first; count < wanted;) {
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
    mean::pass_mode mode{};
    const mean::block_sum sum = kernels.sum_numbers(first, whole, wanted, 0.0, mode);
    EXPECT_EQ(sum.count, count) << round;
    EXPECT_EQ(sum.fault, fault) << round;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(sum.total), std::bit_cast<std::uint64_t>(total))
        << round;
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

        expect_sum_as_scalar_loop(*GetParam(), copy.first(), whole, wanted, round);
    }
}

TEST_P(Kernels, SumNumbersEndingWhereTheTextEnds) {
    // The pass finds where numbers end 64 bytes at a time; a number that runs up to the end
    // of the text, wherever that falls in a chunk, ends there. One number and one refused
    // text, each ending at the end, after blank space of every length around two chunks.
    for (std::size_t blank = 0; blank < 140; ++blank) {
        for (const char* last : {"-1.5", "2e3", "x7"}) {
            const padded copy(std::string(blank, blank % 7 == 0 ? '\n' : ' ') + "8\n" + last);
            mean::pass_mode mode{};
            const mean::block_sum sum =
                GetParam()->sum_numbers(copy.first(), copy.last(), 5, 0.0, mode);
            if (last[0] == 'x') {
                EXPECT_EQ(sum.count, 1) << blank;
                EXPECT_EQ(sum.fault, copy.last() - 2) << blank;
            } else {
                EXPECT_EQ(sum.count, 2) << blank << last;
                EXPECT_EQ(sum.fault, nullptr) << blank << last;
                EXPECT_EQ(sum.total, last[0] == '-' ? 6.5 : 2008.0) << blank << last;
            }
        }
    }
}

TEST_P(Kernels, SumNumbersReadsLongNumbersExactlyWithEitherScanner) {
    // Numbers of more than 19 digits, or with an exponent of 0, after plain numbers and after
    // numbers with exponents, which make the pass use its other scanner: read as parse_number
    // reads them, digits beyond the 19th included.
    const char* const numbers[] = {"10000000000000005121",
                                   "9007199254740993.00000000000001",
                                   "+15141.091065191677448e+0",
                                   "-2598737084883767552.7",
                                   "1.5e0",
                                   "12345678901234567891234",
                                   "123456789012345678901"};
    for (const char* before : {"7\n", "0e1\n"}) {
        for (const char* number : numbers) {
            std::string text;
            for (int i = 0; i < 40; ++i)
                text += before;
            text += std::string(number) + "\n";
            const padded copy(text);
            expect_sum_as_scalar_loop(*GetParam(), copy.first(), copy.last(), INT32_MAX, 0);
        }
    }
}

#if defined(__x86_64__)
// total + value by the CPU's addition with the total as its first operand, which decides
// whose NaN it gives when both are NaNs (the first's on x86-64 CPUs; emulators may choose
// otherwise, and the pass follows the CPU it runs on).
double total_first(double total, double value) {
    asm("addsd %1, %0" : "+x"(total) : "x"(value));
    return total;
}

TEST_P(Kernels, SumNumbersKeepsTheTotalsNaNAsATotalPlusEqualsLoopDoes) {
    // Where the total and a value are both NaNs, an x86-64 addition gives its first operand's;
    // the pass keeps the total's, as a loop of `total += value` does, at every place of a
    // batch: a made NaN (inf - inf, its sign set) meets NaNs of either sign in the data.
    const char* const data_nans[] = {"nan", "-nan", "NaN"};
    for (const int count : {6, 20, 70, 200}) {
        for (int place = 2; place < count; place += 3) {
            for (const char* nan : data_nans) {
                std::vector<std::string> numbers(static_cast<std::size_t>(count), "1.5e+01");
                numbers[0] = "inf";
                numbers[1] = "-inf";
                numbers[static_cast<std::size_t>(place)] = nan;
                std::string text;
                double expected = 0.0;
                for (const std::string& number : numbers) {
                    text += number + "\n";
                    double value = 0.0;
                    mean::parse_number(number.data(), number.data() + number.size(), value);
                    expected = total_first(expected, value);
                }
                const padded copy(text);
                mean::pass_mode mode{};
                const mean::block_sum sum =
                    GetParam()->sum_numbers(copy.first(), copy.last(), count, 0.0, mode);
                ASSERT_EQ(std::bit_cast<std::uint64_t>(sum.total),
                          std::bit_cast<std::uint64_t>(expected))
                    << count << " numbers, " << nan << " at " << place;
            }
        }
    }
}
#endif

// The pass over [first, whole) in blocks that end at line ends some way apart, each from the
// total and with the mode the block before left, as the tool reads a file.
mean::block_sum sum_in_blocks(const mean::kernel_set& kernels, const char* first, const char* whole,
                              std::mt19937_64& random) {
    mean::pass_mode mode{};
    mean::block_sum sum;
    for (const char* p = first; p != whole && sum.fault == nullptr;) {
        const char* end = p + std::min<std::ptrdiff_t>(whole - p, 1 + random() % 4000);
        while (end != whole && end[-1] != '\n')
            ++end;
        const mean::block_sum part = kernels.sum_numbers(p, end, INT32_MAX, sum.total, mode);
        sum = {part.total, sum.count + part.count, part.fault};
        p = end;
    }
    return sum;
}

TEST_P(Kernels, SumNumbersAcrossRunsOfPlainAndExponentNumbers) {
    // The pass scans plain numbers with one scanner and numbers with exponents with another,
    // switching after a batch in which many numbers did not suit the one it used: long runs of
    // each kind, and a refused text in one of them, must give what a scalar loop gives, read
    // whole or in blocks that each start in the mode the last ended in. From round 12 the
    // plain runs are of short and long numbers in turn, as the mixed benchmark file has them,
    // with short texts that the group readers leave among them (which a set may read apart
    // from the long ones, and must read in order), and the refused text may be long.
    std::mt19937_64 random(6);
    const char* const left_by_groups[] = {"1e5", "+.5e1", "-7E-1", "2.5e-3"};
    for (int round = 0; round < 18; ++round) {
        std::string text;
        std::vector<std::string> numbers;
        // Where the first plain run, of 600 numbers or more, starts, from round 12.
        std::size_t plain_run = SIZE_MAX;
        for (int run = 0; run < 8; ++run) {
            const bool exponents = (run + round) % 2 == 1;
            const bool mixed = round >= 12 && !exponents;
            if (mixed && plain_run == SIZE_MAX) plain_run = numbers.size();
            const int length = (mixed ? 600 : 1) + static_cast<int>(random() % 300);
            for (int i = 0; i < length; ++i) {
                char number[40];
                const double v = static_cast<double>(random() % 2000000) / 1000.0 - 1000.0;
                const char* const format = exponents    ? "%.6e"
                                           : !mixed     ? "%.3f"
                                           : i % 3 == 0 ? "%.17g"
                                           : i % 3 == 1 ? "%.6f"
                                                        : "%.3f";
                std::snprintf(number, sizeof number, format, v);
                numbers.emplace_back(mixed && random() % 16 == 0 ? left_by_groups[random() % 4]
                                                                 : number);
            }
        }
        if (round % 3 == 2 && round < 12) numbers[random() % numbers.size()] = "12e";
        if (round % 3 == 2 && round >= 12) {
            // A long refused text a few numbers after one that the groups leave, well into a
            // run: the first must be read and the second refused, in that order.
            const std::size_t at = plain_run + 520 + random() % 32;
            numbers[at] = left_by_groups[random() % 4];
            numbers[at + 1 + random() % 8] = "-123.45678901234567e";
        }
        for (const std::string& number : numbers)
            text += number + (random() % 4 == 0 ? "\r\n" : "\n");
        const padded copy(text);
        expect_sum_as_scalar_loop(*GetParam(), copy.first(), copy.last(), INT32_MAX, round);
        mean::pass_mode mode{};
        const mean::block_sum whole =
            GetParam()->sum_numbers(copy.first(), copy.last(), INT32_MAX, 0.0, mode);
        const mean::block_sum blocks =
            sum_in_blocks(*GetParam(), copy.first(), copy.last(), random);
        EXPECT_EQ(blocks.count, whole.count) << round;
        EXPECT_EQ(blocks.fault, whole.fault) << round;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(blocks.total),
                  std::bit_cast<std::uint64_t>(whole.total))
            << round;
    }
}

const char* const plain[] = {"-2.5", "17", "0.125"};
const char* const with_exponents[] = {"-2.5e-3", "1E7", "+1.25e+02"};
// As %e writes them: read eight at a time by the mantissas' reader where all eight are so.
const char* const two_digit_exponents[] = {"-2.5e-03", "1E+07", "+1.25e+02"};
// Digits alone, and numbers with the point in one place from the end (here last, where a
// digit must come before it): read eight at a time by shorter ways where all eight are so.
const char* const integers[] = {"17", "4096", "123456789"};
const char* const fixed_points[] = {"-2.", "17.", "0."};

TEST_P(Kernels, SumNumbersReadsShortTextsAmongShortNumbersAsAScalarLoopDoes) {
    // Short numbers may be read several at a time. Every text of up to 5 characters over the
    // short shapes' corners, and longer texts at the edges of the short shapes, at every place
    // of 16 after four batches of short plain numbers, integers, numbers ending in a point, or
    // short numbers with exponents, of any form and of %e's, the last or with 48 more after
    // them (a batch read in groups ends at its last group of eight where more follows, and the
    // numbers after it are read with the next).
    const int before = 4 * GetParam()->batch;
    int place = 0;
    const auto check = [&](const std::string& text) {
        for (const char* const* among :
             {plain, integers, fixed_points, with_exponents, two_digit_exponents}) {
            // After batches of the others, so that the pass reads in the mode for them.
            const int length = before + ((place / 16) % 2 == 0 ? 16 : 64);
            const int at = before + place % 16;
            std::string stream;
            for (int i = 0; i < length; ++i)
                stream.append(i == at ? text.c_str() : among[i % 3]).push_back('\n');
            const padded copy(stream);
            expect_sum_as_scalar_loop(
                *GetParam(), copy.first(), copy.last(), INT32_MAX, place,
                state_after(copy.first(), at, [among](std::size_t i) { return among[i % 3]; }));
            if (testing::Test::HasFailure()) {
                ADD_FAILURE() << '"' << text << "\" among " << among[0] << ", " << length
                              << " numbers";
                return;
            }
        }
        place += 1;
    };
    const std::string alphabet = "019.-+e";
    std::string text;
    const auto visit = [&](auto&& self, std::size_t depth) -> void {
        if (testing::Test::HasFailure()) return;
        if (!text.empty()) check(text);
        if (depth == 5) return;
        for (const char c : alphabet) {
            text.push_back(c);
            self(self, depth + 1);
            text.pop_back();
        }
    };
    visit(visit, 0);
    for (const char* edge : {"1e1000",
                             "1e0001",
                             "-1e-0022",
                             "1.5e+0010",
                             "7e22",
                             "7e23",
                             "7e-22",
                             "7e-23",
                             "123456789e-30",
                             "9.99999999e+22",
                             "12345678901234e1",
                             "-1234567890123e+1",
                             "1234567890123.4e1",
                             ".1234567890123e5",
                             "1234567890123456",
                             "-123456789012345",
                             "123456789012345.",
                             "1234567.",
                             "-1234567.",
                             "12345678.",
                             ".123456789012345",
                             "-.12345678901234",
                             "-12345678901234.",
                             "9007199254740993",
                             "9007199254740995",
                             "12345678901234567",
                             "0000000000000001",
                             "9999999999999999",
                             "999999999999999.9",
                             "0.00000000000001",
                             "-0.0000000000000",
                             "1E+022",
                             "123456789012e+10",
                             "9007199254740993e+01",
                             "-900719925474099.3e-01",
                             "+900719925474099e+00",
                             "123456789012345e-07",
                             "e+05",
                             "-e-05",
                             ".E+05",
                             "-12345678901e-99",
                             "12345678901.e+01",
                             "-.12345678901e+22",
                             "1234567890123e+1",
                             "1e+22",
                             "1e+23",
                             "10e+21",
                             "1.5e-21",
                             "1.5e-22",
                             "0.5e-21",
                             "+.5e+05",
                             "5.e+00",
                             "-0e-00",
                             "1ee+11",
                             "1e+1e",
                             "1.e-+1",
                             "1e2e3",
                             "1.2.3e4",
                             "--1e2",
                             "+-1",
                             "1e+-2",
                             "1e2.",
                             "e5",
                             ".e5",
                             "-.5E-1",
                             "5.e+1",
                             "nan",
                             "-NaN",
                             "+inf",
                             "Infinity",
                             "-INFINITY",
                             "infinit",
                             "nann",
                             "in",
                             "na",
                             "+-inf",
                             "nan5",
                             "5nan",
                             "infinityy",
                             "INF"}) {
        if (testing::Test::HasFailure()) return;
        for (int i = 0; i < 16; ++i)
            check(edge);
    }
}

TEST_P(Kernels, SumNumbersReadsNumbersOfUpToEighteenBytesAsAScalarLoopDoes) {
    // Around the 16 bytes and the 2^53 of a number read among others: digits from 1 to 17,
    // leading zeros, the point anywhere or nowhere, with or without a sign, values up to
    // 10^17; in every other pair of rounds, most with up to 11 digits and an exponent of 1 to 4.
    std::mt19937_64 random(16);
    const auto pick = [&](std::uint64_t n) { return random() % n; };
    for (int round = 0; round < 40; ++round) {
        std::string text;
        for (int i = 0; i < 3000; ++i) {
            std::string number;
            const bool exponent = round % 4 >= 2 && pick(8) != 0;
            const auto digits = 1 + pick(exponent ? 11 : 17);
            const auto zeros = pick(3) == 0 ? pick(digits + 1) : 0;
            for (std::uint64_t d = 0; d < digits; ++d) {
                const bool nines = round % 2 == 1 && d < 4;  // near 2^53 and 10^16
                number += d < zeros ? '0' : nines ? '9' : static_cast<char>('0' + pick(10));
            }
            if (pick(4) != 0) number.insert(pick(number.size() + 1), 1, '.');
            if (exponent) {
                number += "eE"[pick(2)];
                if (pick(3) != 0) number += "+-"[pick(2)];
                for (auto n = 1 + pick(pick(8) == 0 ? 4 : 2); n > 0; --n)
                    number += static_cast<char>('0' + pick(10));
            }
            if (pick(2) == 0) number.insert(0, 1, "--+"[pick(3)]);
            text += number + (pick(5) == 0 ? "\r\n" : "\n");
        }
        const padded copy(text);
        expect_sum_as_scalar_loop(*GetParam(), copy.first(), copy.last(), INT32_MAX, round);
    }
}

TEST_P(Kernels, SumNumbersReadsLongPlainNumbersAmongOthersAsAScalarLoopDoes) {
    // Plain numbers of 17 to 32 bytes may be scanned several at a time, and mantissas as long
    // with an exponent after them. Each text, at each of four places among long zeros, after
    // short zeros, and in the batch after one with a number in %e form among them, where plain
    // numbers are scanned in pairs; the zeros with 20 digits and with 19, which a set may read
    // eight at a time by a shorter way; and among short numbers of which a third are long, as
    // in the mixed benchmark file, where a set may list the short ones apart and read the long
    // ones eight at a time, the last eight of a batch filled up: the total is the text's
    // value, exactly.
    const int batch = GetParam()->batch;
    std::vector<std::string> texts = {
        "18446744073709551615", "18446744073709551616", "-18446744073709551615",
        "1844674407370955161.5", "1844674407370955161.6", ".18446744073709551615",
        "18446744073709551615.", "99999999999999999999", "09999999999999999999",
        "100000000000000000000", "0.0000000000000000001", "9007199254740993.0000",
        "-000000000000000000001.5", "1234567890123456789012345678901",
        "12345678901234567890123456789012", "1.2.3456789012345678", "-12345678901234567-8",
        "123456789012345678e1", "+12345678901234567", "123.4567890123.45678", ".", "-", "-.",
        // 20 digits beyond 2^64, cut to 19 in reading: 2^64 +
        // 2^11 is a tie between doubles, and one more goes up,
        // which only the cut digit tells.
        "18446744073709553664", "18446744073709553665", "1844674407370955366.5",
        "18446744073709553670", "-36893488147419107329", "1.8446744073709553664e5",
        "1.8446744073709553665e-7", "-3.6893488147419107329E+12", "18446744073709553670e-27",
        "1.8446744073709553664e19", "1.8446744073709553665e19", "-1.8446744073709553670e+19",
        // More than 20 digits from the first not 0, or after the point; a tail past the tie.
        "0.0000000000000000000001", "-0.00000000000000000000012345", "-123456789012345678901234.5",
        "12345678901234567890.123456789", "00000000000000000000000000001.5",
        "1.00000000000000000000000000001", "100000000000000000000000000000",
        "9999999999999999999999999999.9", "0.99999999999999999999999999999",
        "9007199254740993000000000000000", "18446744073709553664.00000001",
        "-18446744073709553664.0000000"};
    std::mt19937_64 random(2064);
    for (int i = 0; i < 400; ++i) {
        // 20 digits around 2^64, and 17 to 22 digits anywhere, with the point anywhere.
        std::string digits = i % 2 == 0 ? "1844674407370955" : "";
        const auto length = 17 + random() % 6;
        while (digits.size() < (i % 2 == 0 ? 20 : length))
            digits += static_cast<char>('0' + random() % 10);
        if (random() % 4 != 0) digits.insert(random() % (digits.size() + 1), 1, '.');
        if (random() % 3 == 0) digits.insert(0, 1, '-');
        if (random() % 4 == 0) digits += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
        texts.push_back(digits);
    }
    for (const std::string& text : texts) {
        for (int place = 0; place < 4; ++place) {
            std::string after_short;
            for (int i = 0; i < 40; ++i)
                after_short += "0\n";
            for (int i = 0; i < 4; ++i)
                after_short += (i == place ? text : std::string("0.0000000000000000000")) + "\n";
            std::string among_exponents[2];
            for (int zeros = 0; zeros < 2; ++zeros) {
                for (int i = 0; i < batch + 16; ++i) {
                    among_exponents[zeros] += (i == batch + place ? text
                                               : i == 5 ? std::string("-0.00000000000000e+00")
                                                        : "0." + std::string(19 - zeros, '0')) +
                                              "\n";
                }
            }
            std::string among_short;
            for (int i = 0; i < 3 * batch; ++i) {
                among_short += i % 3 != 0             ? "0.25\n"
                               : (i / 3) % 9 == place ? text + "\n"
                                                      : "0.0000000000000000000\n";
            }
            for (const std::string& stream :
                 {after_short, among_exponents[0], among_exponents[1], among_short}) {
                const padded copy(stream);
                expect_sum_as_scalar_loop(*GetParam(), copy.first(), copy.last(), INT32_MAX, place);
            }
            if (testing::Test::HasFailure()) {
                ADD_FAILURE() << '"' << text << '"';
                return;
            }
        }
    }
}

TEST_P(Kernels, SumNumbersReadsLongMantissasWithExponentsAsAScalarLoopDoes) {
    // Where plain numbers come with some in %e's form among them, as %g writes numbers of many
    // magnitudes, the plain scanners take the exponent of e, a sign and two digits off the end
    // and read the mantissa before it; where all are in %e's form with long mantissas, as
    // %.17e writes them, the mode for exponents reads them by the scanner of that form alone.
    // Each text, at each of eight places of a batch of either kind of numbers, all 0, after
    // two batches of them: the total is the text's value, exactly.
    const int batch = GetParam()->batch;
    std::vector<std::string> texts = {
        "-6.7783353714522e-06", "1.95653129050453e-08", "-3.78022788921557926e+06",
        "9007199254740993e+00", "9007199254740993E-01", "+9007199254740995e+01",
        "1.8446744073709551615e+19", "18446744073709551616e-05", "1844674407370955366.5e+00",
        "-18446744073709553670e-27", "0.0000000000000000001e+01", "0.00000000000000000001e-01",
        "12345678901234567890.123e-05", "1234567890123456789012e+00", "1.2345678901234567e+22",
        "1.2345678901234567e-22", "123456789012345.6e-07", "4.9406564584124654e-99", "1.5e+99",
        "7e-05", "1.5e+02", "-1.5e-21", "1.5e-22", "-e+05", ".e-05", "+.e+05", "-.5E+05", "5.e-05",
        "1.5e+0x", "1.5e++5", "1.5ee05", "1.5e+5", "1.5e+005", "1.2.3e+05", "--1.5e+05", "1.5-e+05",
        "+.5e+05", "-a.5e-05", "12345678901234567890123456e+01",
        // Each byte of the exponent next to what it must be.
        "1234567890123456.7d+05", "1234567890123456.7f-05", "1234567890123456.7e*05",
        "1234567890123456.7e,05", "1234567890123456.7e.05", "1234567890123456.7e+/5",
        "1234567890123456.7e-:5", "1234567890123456.7e+0/", "1234567890123456.7E-0:"};
    std::mt19937_64 random(1705);
    for (int i = 0; i < 300; ++i) {
        // 15 to 20 digits with the point after the first, as %.Ne writes them, and anywhere.
        std::string digits;
        const auto length = 15 + random() % 6;
        while (digits.size() < length)
            digits += static_cast<char>('0' + random() % 10);
        digits.insert(i % 2 == 0 ? 1 : random() % (digits.size() + 1), 1, '.');
        if (random() % 2 == 0) digits.insert(0, 1, '-');
        const auto exponent = static_cast<int>(random() % 60) - 30;
        texts.push_back(digits + (exponent < 0 ? "e-" : "e+") +
                        std::to_string(std::abs(exponent) / 10) +
                        std::to_string(std::abs(exponent) % 10));
    }
    for (const std::string& text : texts) {
        for (int place = 0; place < 16; ++place) {
            // Even places among plain numbers, odd ones among numbers in %.17e's form.
            const bool scientific = place % 2 == 1;
            std::string stream;
            for (int i = 0; i < 3 * batch; ++i) {
                stream += i == 2 * batch + 9 * (place / 2) ? text
                          : scientific                     ? "-0.00000000000000000e+00"
                          : i % 4 == 3                     ? "-0.00000000000000e+00"
                                                           : "0.000000000000000000";
                stream += "\n";
            }
            const padded copy(stream);
            expect_sum_as_scalar_loop(*GetParam(), copy.first(), copy.last(), INT32_MAX, place);
            if (testing::Test::HasFailure()) {
                ADD_FAILURE() << '"' << text << '"';
                return;
            }
        }
    }
}

__extension__ typedef unsigned __int128 u128;  // GCC and Clang on x86-64

// The decimal w / 10^k: w's digits with a point k from the end.
std::string quotient_text(std::uint64_t w, int k) {
    std::string digits = std::to_string(w);
    if (digits.size() <= static_cast<std::size_t>(k))
        digits.insert(0, static_cast<std::size_t>(k) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(k), 1, '.');
    return digits;
}

int bit_length(u128 n) {
    int length = 0;
    for (; n != 0; n >>= 1)
        ++length;
    return length;
}

// n / 2^shift rounded to nearest, or n × 2^-shift.
u128 scaled_by_two(u128 n, int shift) {
    return shift <= 0 ? n << -shift : (n + (static_cast<u128>(1) << (shift - 1))) >> shift;
}

TEST_P(Kernels, SumNumbersReadsHardQuotientsOfManyDigitsAsAScalarLoopDoes) {
    // A plain number of more than 15 digits, w / 10^k, may be converted with one division and
    // a check of its residual in integers. The cases where that is hardest, and their
    // neighbours w - 2 to w + 2: w a multiple of 5^k; w / 10^k exactly a double, exactly
    // halfway between two (where k <= 4 allows it), nearest to such a midpoint, or next to a
    // power of two; and w next to a power of two. Each among long numbers that are 0, so that
    // the total is its value. The
    // same quotients in %e's form, where they are scaled exactly, eight at a time on the
    // AVX-512 set, with a truncated reciprocal of 5^k, whose hardest cases these are too.
    const auto batch = static_cast<std::size_t>(GetParam()->batch);
    std::mt19937_64 random(1853);
    std::vector<std::pair<std::uint64_t, int>> quotients;
    const auto around = [&](u128 w, int k) {
        for (int d = -2; d <= 2; ++d) {
            const u128 v = w + static_cast<u128>(static_cast<std::int64_t>(d));
            if (v > (static_cast<u128>(1) << 53) && v < (static_cast<u128>(1) << 64))
                quotients.emplace_back(static_cast<std::uint64_t>(v), k);
        }
    };
    for (int k = 1; k <= 19; ++k) {
        u128 five = 1;
        for (int i = 0; i < k; ++i)
            five *= 5;
        const int lowest = 53 - static_cast<int>(k * 3.321928094887362);
        for (int i = 0; i < 40; ++i) {
            const int length = 54 + static_cast<int>(random() % 11);  // w's bits
            const u128 mantissa = (random() >> 11) | (std::uint64_t{1} << 52);
            const int q = length - 53 - static_cast<int>(k * 3.321928094887362);
            // A multiple of 5^k.
            around(((static_cast<u128>(random()) << 64 | random()) %
                    ((static_cast<u128>(1) << length) / five)) *
                       five,
                   k);
            // Exactly a double: M × 2^q × 10^k.
            const u128 odd = mantissa >> (random() % 20) | 1;
            if (bit_length(odd * five) + q + k <= 64 && q + k >= 0)
                around(odd * five << (q + k), k);
            // Nearest to the midpoint between M × 2^q and the next double.
            around(scaled_by_two((2 * mantissa + 1) * five, -(q - 1 + k)), k);
            // Next to the power of two 2^j.
            const int j = lowest + i % 12;
            around(scaled_by_two(five, -(j + k)), k);
        }
        // w next to a power of two, which its nearest double may round up to.
        for (int j = 54; j <= 64; j += 2)
            around(static_cast<u128>(1) << j, k);
        // w up to 2^53, which one division converts: the residual, whose shift may be 64 or
        // more, must not move it.
        quotients.emplace_back(std::uint64_t{1} << 53, k);
        for (int i = 0; i < 20; ++i)
            quotients.emplace_back((random() >> (11 + random() % 53)) + 1, k);
    }
    for (int k = 1; k <= 4; ++k) {
        u128 five = 1;
        for (int i = 0; i < k; ++i)
            five *= 5;
        for (int i = 0; i < 200; ++i) {
            // c × 2^s with c odd of 54 bits: exactly halfway between two doubles.
            const u128 c = (random() >> 10) | (std::uint64_t{1} << 53) | 1;
            for (int shift = 0; bit_length(c * five) + shift <= 64; ++shift)
                around(c * five << shift, k);
        }
    }
    EXPECT_GT(quotients.size(), 6000u);
    for (std::size_t t = 0; t < quotients.size(); ++t) {
        const auto [w, k] = quotients[t];
        const std::string sign = t % 2 == 0 ? "" : "-";
        const std::string text = sign + quotient_text(w, k);
        // Among long numbers alone, which are converted eight at a time, at each place of the
        // eight; and in the batch after one with a number in %e form, as %g writes numbers,
        // where plain ones are scanned in pairs and converted with them.
        std::string alone;
        for (std::size_t i = 0; i < 12; ++i)
            alone += (i == t % 8 ? text : "0.0000000000000000000") + "\n";
        const std::size_t at = batch + t % 8;
        const auto filler = [](std::size_t i) {
            return i == 5 ? "-0.00000000000000e+00" : "0.000000000000000000";
        };
        std::string among_exponents;
        for (std::size_t i = 0; i < batch + 16; ++i)
            among_exponents += (i == at ? text : std::string(filler(i))) + "\n";
        // w's first digit, the point, the others, and the exponent that leaves 10^-k, among
        // numbers in %.17e's form, from the second batch on, where the mode for exponents
        // reads such numbers by their form alone.
        const std::string digits = std::to_string(w);
        const int exponent = static_cast<int>(digits.size()) - 1 - k;
        const auto scientific_filler = [](std::size_t) { return "-0.00000000000000000e+00"; };
        std::string scientific;
        for (std::size_t i = 0; i < batch + 16; ++i) {
            scientific += (i == at ? sign + digits.substr(0, 1) + "." + digits.substr(1) +
                                         (exponent < 0 ? "e-" : "e+") +
                                         std::to_string(std::abs(exponent) / 10) +
                                         std::to_string(std::abs(exponent) % 10)
                                   : scientific_filler(i)) +
                          "\n";
        }
        const padded alone_copy(alone);
        expect_sum_as_scalar_loop(*GetParam(), alone_copy.first(), alone_copy.last(), INT32_MAX, 0);
        const padded among_copy(among_exponents);
        expect_sum_as_scalar_loop(*GetParam(), among_copy.first(), among_copy.last(), INT32_MAX, 0,
                                  state_after(among_copy.first(), at, filler));
        const padded scientific_copy(scientific);
        expect_sum_as_scalar_loop(*GetParam(), scientific_copy.first(), scientific_copy.last(),
                                  INT32_MAX, 0,
                                  state_after(scientific_copy.first(), at, scientific_filler));
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << '"' << text << '"';
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Runnable, Kernels, testing::ValuesIn(mean::runnable_kernels()),
                         kernel_name);

TEST(KernelChoice, IsTheWidestTheCpuRuns) {
    // Under an emulated CPU the test names the kernel set it must get: MEAN_EXPECT_KERNELS.
    const char* expected = std::getenv("MEAN_EXPECT_KERNELS");
    const auto runnable = mean::runnable_kernels();
    ASSERT_FALSE(runnable.empty());
    EXPECT_STREQ(runnable.front()->name, "portable");
    EXPECT_EQ(&mean::chosen_kernels(), runnable.back());
    if (expected != nullptr) {
        EXPECT_STREQ(mean::chosen_kernels().name, expected);
    }
}

}  // namespace
