// libFuzzer target for the whole mean pass. The first byte of the input chooses the size of
// the reads, from 1 byte to 256 KiB; the rest is the data file. The pass must give what a
// plain strtod loop over the same bytes gives: the same bits of the mean, or the same refusal
// on the same line; and so must the inner loop of every kernel set the CPU runs.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file.hpp"
#include "kernels/kernels.hpp"
#include "mean.hpp"
#include "number/number.hpp"
#include "number/space.hpp"

namespace {

struct expected_result {
    double mean = 0.0;
    std::int64_t line = 0;  // the line of a refused text, 0 for none
    bool short_of_numbers = false;
};

// The first `lines` numbers of `text` by strtod, each of which must end at white space or at
// the end, without "nan(...)".
expected_result strtod_loop(const std::string& text, std::int32_t lines) {
    double total = 0.0;
    std::size_t p = 0;
    for (std::int32_t i = 0; i < lines; ++i) {
        while (p < text.size() && mean::is_space(text[p]))
            ++p;
        if (p == text.size()) return {0.0, 0, true};
        char* end = nullptr;
        const double value = std::strtod(text.c_str() + p, &end);
        const auto length = static_cast<std::size_t>(end - (text.c_str() + p));
        const bool whole = length > 0 &&
                           (p + length == text.size() || mean::is_space(text[p + length])) &&
                           std::memchr(text.data() + p, '(', length) == nullptr &&
                           length <= mean::max_number_length;
        if (!whole) {
            return {
                0.0,
                1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(p), '\n'),
                false};
        }
        total = value + total;
        p += length;
    }
    return {total / static_cast<double>(lines), 0, false};
}

[[noreturn]] void disagree(const char* why, const mean::average_result& got,
                           const expected_result& expected) {
    std::fprintf(stderr,
                 "%s: pass gave %016llx, line %lld, \"%s\"; strtod loop %016llx, line %lld\n", why,
                 static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(got.mean)),
                 static_cast<long long>(got.line), got.error.c_str(),
                 static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(expected.mean)),
                 static_cast<long long>(expected.line));
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t read_size =
        data[0] < 200 ? std::size_t{1} + data[0] : (std::size_t{data[0]} - 199) * 4682;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto lines = static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n'));

    const mean::unique_fd fd(::memfd_create("data", 0));
    if (!fd || mean::write_all(fd.get(), text.data(), text.size()) != 0 ||
        ::lseek(fd.get(), 0, SEEK_SET) != 0) {
        std::abort();
    }
    const mean::average_result got = mean::average_values(fd.get(), lines, read_size);
    const expected_result expected = strtod_loop(text, lines);

    if (expected.short_of_numbers) {
        if (got.error.find(" but only ") == std::string::npos || got.line != 0)
            disagree("not refused as short of numbers", got, expected);
    } else if (expected.line != 0) {
        if (got.error.rfind("expected a number", 0) != 0 || got.line != expected.line)
            disagree("not refused on the same line", got, expected);
    } else if (!got.error.empty() || std::bit_cast<std::uint64_t>(got.mean) !=
                                         std::bit_cast<std::uint64_t>(expected.mean)) {
        disagree("another mean", got, expected);
    }

    // Every kernel set this CPU runs, not only the one the pass chose, over the whole text at
    // once, with the slack the sets may read around it.
    const std::string padded = std::string(32, ' ') + text + std::string(65, ' ');
    const char* const first = padded.data() + 32;
    const char* const whole = first + text.size();
    for (const mean::kernel_set* kernels : mean::runnable_kernels()) {
        mean::pass_mode mode{};
        const mean::block_sum sum = kernels->sum_numbers(first, whole, lines, 0.0, mode);
        const std::int64_t line = sum.fault == nullptr ? 0 : 1 + std::count(first, sum.fault, '\n');
        const bool agrees = expected.short_of_numbers ? sum.fault == nullptr && sum.count < lines
                            : expected.line != 0
                                ? line == expected.line
                                : sum.fault == nullptr && sum.count == lines &&
                                      std::bit_cast<std::uint64_t>(sum.total / lines) ==
                                          std::bit_cast<std::uint64_t>(expected.mean);
        if (!agrees) {
            const mean::average_result as_pass{sum.total / lines, line, kernels->name};
            disagree("a kernel set reads it otherwise", as_pass, expected);
        }
    }
    return 0;
}
