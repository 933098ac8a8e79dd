// Microbenchmarks of the tool's kernels on the benchmark data, for every kernel set this CPU
// runs: the newline count over a 1 MiB block, and the mean pass's reading of numbers in each
// of the three forms and mixed, and in each shape of data file gen_data writes, each beside its
// standard library counterpart (std::count, std::from_chars). The scalar reader, parse_number, is
// measured too.
#include <benchmark/benchmark.h>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>

#include "data_gen.hpp"
#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/space.hpp"

namespace {

constexpr std::size_t block_size = std::size_t{1} << 20;
constexpr std::int64_t numbers_per_buffer = 1 << 16;

// The first 1 MiB of the benchmark data file.
const std::string& data_block() {
    static const std::string block = [] {
        std::string text;
        text.reserve(block_size + bench::max_line_length);
        bench::splitmix64 random(bench::data_seed);
        char line[bench::max_line_length];
        for (std::uint64_t i = 0; text.size() < block_size; ++i) {
            const char* end =
                bench::write_line(line, bench::next_value(random), bench::form_of_line(i));
            text.append(line, static_cast<std::size_t>(end - line));
        }
        text.resize(block_size);
        return text;
    }();
    return block;
}

enum class mix { g17, f6, f3, mixed };

// numbers_per_buffer lines of the benchmark data's values, all in one form or, when mixed,
// cycling through the three forms as the data file does.
const std::string& numbers(mix which) {
    static std::array<std::string, 4> buffers;
    std::string& text = buffers[static_cast<std::size_t>(which)];
    if (text.empty()) {
        bench::splitmix64 random(bench::data_seed);
        char line[bench::max_line_length];
        for (std::int64_t i = 0; i < numbers_per_buffer; ++i) {
            const bench::form how = which == mix::mixed
                                        ? bench::form_of_line(static_cast<std::uint64_t>(i))
                                        : static_cast<bench::form>(which);
            const char* end = bench::write_line(line, bench::next_value(random), how);
            text.append(line, static_cast<std::size_t>(end - line));
        }
    }
    return text;
}

void BM_count_newlines(benchmark::State& state, const mean::kernel_set* kernels) {
    const std::string& block = data_block();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernels->count_newlines(block.data(), block.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}

// numbers_per_buffer lines of one of the shapes of data file that gen_data writes.
const std::string& shape_numbers(bench::shape which) {
    static std::array<std::string, std::size(bench::all_shapes)> buffers;
    std::string& text = buffers[static_cast<std::size_t>(which)];
    if (text.empty()) {
        bench::splitmix64 random(bench::data_seed);
        char line[bench::max_line_length];
        for (std::int64_t i = 0; i < numbers_per_buffer; ++i) {
            const char* end =
                bench::write_shape_line(line, which, random, static_cast<std::uint64_t>(i));
            text.append(line, static_cast<std::size_t>(end - line));
        }
    }
    return text;
}

// The kernel's whole pass over the numbers: the text with the slack the kernels read around it.
void BM_sum_numbers(benchmark::State& state, const mean::kernel_set* kernels,
                    const std::string* numbers_text) {
    const std::string text = std::string(64, ' ') + *numbers_text + std::string(64, ' ');
    const char* const first = text.data() + 64;
    const char* const whole = text.data() + text.size() - 64;
    for (auto _ : state) {
        mean::pass_mode mode{};
        const mean::block_sum sum = kernels->sum_numbers(first, whole, INT32_MAX, 0.0, mode);
        if (sum.fault != nullptr || sum.count != numbers_per_buffer) {
            state.SkipWithError("not a number");
            return;
        }
        benchmark::DoNotOptimize(sum.total);
    }
    state.SetItemsProcessed(state.iterations() * numbers_per_buffer);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() - 128));
}

[[maybe_unused]] const bool registered = [] {
    const std::pair<const char*, mix> mixes[] = {
        {"g17", mix::g17}, {"f6", mix::f6}, {"f3", mix::f3}, {"mixed", mix::mixed}};
    for (const mean::kernel_set* kernels : mean::runnable_kernels()) {
        const std::string name = kernels->name;
        benchmark::RegisterBenchmark(("BM_count_newlines/" + name).c_str(), BM_count_newlines,
                                     kernels);
        for (const auto& [form, which] : mixes) {
            benchmark::RegisterBenchmark(("BM_sum_numbers/" + name + "/" + form).c_str(),
                                         BM_sum_numbers, kernels, &numbers(which));
        }
        // The other shapes of data file (the mixed one is the mix above).
        for (const bench::shape which : bench::all_shapes) {
            if (which == bench::shape::mixed) continue;
            const std::string shape(bench::name_of(which));
            benchmark::RegisterBenchmark(("BM_sum_numbers/" + name + "/" + shape).c_str(),
                                         BM_sum_numbers, kernels, &shape_numbers(which));
        }
    }
    return true;
}();

void BM_std_count(benchmark::State& state) {
    const std::string& block = data_block();
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::count(block.begin(), block.end(), '\n'));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}
BENCHMARK(BM_std_count);

// Reads every number of `text` with `parse`, which returns one past the number or nullptr
// when there is none, and sums them in order as the tool does.
template <typename Parse>
void parse_all(benchmark::State& state, const std::string& text, Parse parse) {
    for (auto _ : state) {
        const char* p = text.data();
        const char* const end = p + text.size();
        double total = 0.0;
        for (;;) {
            while (p != end && mean::is_space(*p))
                ++p;
            if (p == end) break;
            double value;
            const char* next = parse(p, end, value);
            if (next == nullptr) {
                state.SkipWithError("not a number");
                return;
            }
            total = value + total;
            p = next;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * numbers_per_buffer);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_parse_number(benchmark::State& state, mix which) {
    parse_all(state, numbers(which), [](const char* p, const char* end, double& value) {
        const char* next = mean::parse_number(p, end, value);
        return next == p ? nullptr : next;
    });
}
BENCHMARK_CAPTURE(BM_parse_number, g17, mix::g17);
BENCHMARK_CAPTURE(BM_parse_number, f6, mix::f6);
BENCHMARK_CAPTURE(BM_parse_number, f3, mix::f3);
BENCHMARK_CAPTURE(BM_parse_number, mixed, mix::mixed);

void BM_from_chars(benchmark::State& state, mix which) {
    parse_all(state, numbers(which), [](const char* p, const char* end, double& value) {
        const auto [next, error] = std::from_chars(p, end, value);
        return error == std::errc() ? next : nullptr;
    });
}
BENCHMARK_CAPTURE(BM_from_chars, g17, mix::g17);
BENCHMARK_CAPTURE(BM_from_chars, f6, mix::f6);
BENCHMARK_CAPTURE(BM_from_chars, f3, mix::f3);
BENCHMARK_CAPTURE(BM_from_chars, mixed, mix::mixed);

}  // namespace

BENCHMARK_MAIN();
