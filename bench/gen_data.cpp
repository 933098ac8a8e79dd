// gen_data LINES OUTFILE: writes LINES lines of uniform random numbers in [-1000, 1000), line i
// in printf's %.17g, %.6f or %.3f as i % 3 is 0, 1 or 2, from a fixed seed, so that the file
// is byte for byte the same on every machine.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "data_gen.hpp"

namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 20;

int usage() {
    std::fputs("usage: gen_data LINES OUTFILE\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage();
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
        p = bench::write_line(p, bench::next_value(random), bench::form_of_line(i));
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
