// from_chars_loop DATA RESULT: the plain two-pass loop that the tool is measured against. It
// prints DATA's line count (its newline bytes), then writes the mean of its numbers, "%lf\n",
// into RESULT. Each pass reads the file with read(2) in blocks of 1 MiB; the second parses each
// number with std::from_chars and sums them in file order. It expects well-formed input.
// Its reads land on a page boundary, as the tool's do: the kernel copies into an unaligned
// buffer several times slower, and the bar should not carry that handicap.
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "number/space.hpp"

namespace {

constexpr std::size_t block = std::size_t{1} << 20;
// Room kept before each block for a number cut by the end of the previous one.
constexpr std::size_t max_tail = 4096;

int fail(const char* where, const char* what) {
    std::fprintf(stderr, "from_chars_loop: %s: %s\n", where, what);
    return 1;
}

int open_data(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::exit(fail(path, std::strerror(errno)));
    return fd;
}

// read(2), retried on EINTR; exits on any other failure.
std::size_t read_block(int fd, char* buffer, const char* path) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, block);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) std::exit(fail(path, std::strerror(errno)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: from_chars_loop DATA RESULT\n", stderr);
        return 2;
    }
    const char* const path = argv[1];
    char* const storage = static_cast<char*>(std::aligned_alloc(4096, max_tail + block));
    if (storage == nullptr) return fail(path, "out of memory");
    // A number cut by the end of a block is moved to just before the next one.
    char* const buffer = storage + max_tail;

    // Pass 1: count the newline bytes.
    int fd = open_data(path);
    std::uint64_t lines = 0;
    for (;;) {
        const std::size_t got = read_block(fd, buffer, path);
        if (got == 0) break;
        lines += static_cast<std::uint64_t>(std::count(buffer, buffer + got, '\n'));
    }
    ::close(fd);
    if (lines > INT_MAX) return fail(path, "too many lines");
    std::printf("%d\n", static_cast<int>(lines));
    std::fflush(stdout);

    // Pass 2: parse and sum the numbers. The bytes after the last white space of a block may be
    // the start of a number, so they move to the front and the next block is read after them.
    fd = open_data(path);
    double total = 0.0;
    std::size_t tail = 0;
    for (;;) {
        const std::size_t got = read_block(fd, buffer, path);
        const char* p = buffer - tail;
        const char* const end = buffer + got;
        const char* whole = end;
        if (got != 0) {
            while (whole != p && !mean::is_space(whole[-1]))
                --whole;
        }
        for (;;) {
            while (p != whole && mean::is_space(*p))
                ++p;
            if (p == whole) break;
            double value;
            const auto [next, error] = std::from_chars(p, whole, value);
            if (error != std::errc() || (next != whole && !mean::is_space(*next))) {
                return fail(path, "not a number");
            }
            total = value + total;
            p = next;
        }
        if (got == 0) break;
        tail = static_cast<std::size_t>(end - whole);
        if (tail > max_tail) return fail(path, "number too long");
        std::memmove(buffer - tail, whole, tail);
    }
    ::close(fd);
    std::free(storage);

    std::FILE* result = std::fopen(argv[2], "w");
    if (result == nullptr) return fail(argv[2], std::strerror(errno));
    std::fprintf(result, "%lf\n", total / static_cast<double>(lines));
    if (std::fclose(result) != 0) return fail(argv[2], std::strerror(errno));
    return 0;
}
