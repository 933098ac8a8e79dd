// gen_data LINES OUTFILE [SHAPE]: writes LINES lines of random numbers from a fixed seed, byte for
// byte the same on every machine. SHAPE (data_gen.hpp has the details) is one of
//   mixed       the default: uniform in [-1000, 1000), line i in printf's %.17g, %.6f or %.3f
//               as i % 3 is 0, 1 or 2
//   integers    uniform integers in [0, 10^9), as %ld writes them
//   exponent    %.6e, magnitudes from 10^-10 to 10^10, either sign
//   timestamps  %.10f, uniform in [1.7e9, 1.8e9), like find -printf %T@
//   prices      %.2f, uniform in [0, 10000)
//   g15         %.15g over 17 decades, either sign
//   shortest    1 to 17 significant digits, the shortest text of each double
//   e17         %.17e, magnitudes from 10^-10 to 10^10, either sign
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string_view>

#include "data_gen.hpp"

namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 20;

int usage() {
    std::fputs(
        "usage: gen_data LINES OUTFILE "
        "[mixed|integers|exponent|timestamps|prices|g15|shortest|e17]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return usage();
    bench::shape which = bench::shape::mixed;
    if (argc == 4) {
        const std::string_view name = argv[3];
        const auto* const found =
            std::find_if(std::begin(bench::all_shapes), std::end(bench::all_shapes),
                         [name](bench::shape s) { return bench::name_of(s) == name; });
        if (found == std::end(bench::all_shapes)) return usage();
        which = *found;
    }
    std::uint64_t lines = 0;
    const char* const text = argv[1];
    const char* const text_end = text + std::strlen(text);
    const auto [end, error] = std::from_chars(text, text_end, lines);
    if (error != std::errc() || end != text_end) return usage();

    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "gen_data: %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    const std::unique_ptr<char[]> buffer(new char[buffer_size]);
    char* p = buffer.get();
    char* const flush_at = buffer.get() + buffer_size - bench::max_line_length;
    bench::splitmix64 random(bench::data_seed);
    bool failed = false;
    for (std::uint64_t i = 0; i < lines && !failed; ++i) {
        p = bench::write_shape_line(p, which, random, i);
        if (p > flush_at) {
            const auto size = static_cast<std::size_t>(p - buffer.get());
            failed = std::fwrite(buffer.get(), 1, size, out) != size;
            p = buffer.get();
        }
    }
    const auto size = static_cast<std::size_t>(p - buffer.get());
    if (!failed) failed = std::fwrite(buffer.get(), 1, size, out) != size;
    if (std::fclose(out) != 0) failed = true;
    if (failed) {
        std::fprintf(stderr, "gen_data: %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    return 0;
}
