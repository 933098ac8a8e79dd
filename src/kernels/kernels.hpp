// The kernels of the two passes, one set for each instruction set this build has, and the
// choice among them, made once from the CPU's features. Every build has the portable set;
// an x86-64 build has SSE2, and AVX2 and AVX-512 unless it is capped below them; an arm64
// build has NEON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "number/record.hpp"

namespace mean {

// What the mean pass gives back for one block of text.
struct block_sum {
    double total = 0.0;           // the running total after the numbers read
    std::int32_t count = 0;       // how many numbers were read
    const char* fault = nullptr;  // the start of the text refused where a number was due
};

// What a vector scanner made of a text, the record of which is a decimal (number/record.hpp):
// not read (left to the scalar scanner); read and plain,
// that is with no exponent, not truncated and at most 20 digits after the point, so that
// digits / 10^-exponent is its value; read otherwise (an exponent, or digits dropped); or read
// as plain and converted too, its value given.
enum class scanned : std::uint8_t { none, plain, exponent, converted };

// Which readers the mean pass had come to take at the end of a block of text, handed to its
// pass over the next block of the same text, so that each block goes on where the last left
// off rather than learn the data again from its first batch. Only the pass reads it: a caller
// keeps one for each text, made as `pass_mode{}`, which says that nothing is read yet. (Plain
// fields and no member functions: every kernel set, each compiled for its own target, makes
// and reads it, and no code of it is shared between them.)
struct pass_mode {
    bool begun;  // false: nothing is read yet, and the rest means nothing
    bool exponents;
    bool groups;
    bool pairs;
    bool tails;
    bool scientific;
    bool split;
    int unchecked;
    int unscientific;
};

struct kernel_set {
    const char* name;   // an identifier: portable, sse2, avx2, avx512, neon
    const char* label;  // as `mean --version` names it: portable, baseline, AVX2, AVX-512, NEON
    int batch;          // the numbers the mean pass reads at a time, at least (for tests: the
                        // pass may change its readers between batches)

    // Bit i set when p[i] is white space (is_space), for i from 0 to 63.
    std::uint64_t (*space_mask)(const char* p) noexcept;

    // The number of 0x0A bytes in [data, data + size).
    std::uint64_t (*count_newlines)(const char* data, std::size_t size) noexcept;

    // Reads, in order, the numbers that start in [first, whole), each after white space or
    // at `first`, until `wanted` of them are read, adding each to the total (total = value +
    // total, from `total`). Stops at the first text that is not a number, or longer than
    // max_number_length. The caller guarantees that whole[-1] or whole[0] is white space, so
    // every number that starts before `whole` ends before it or at it, and that 32 bytes
    // before `first` and 64 bytes after `whole` can be read. `mode` is the pass's, from the
    // block before, for the next.
    block_sum (*sum_numbers)(const char* first, const char* whole, std::int32_t wanted,
                             double total, pass_mode& mode) noexcept;

    // The number at `first` as the mean pass reads it: parse_number's result, under the same
    // guarantees about the bytes around [first, last) as sum_numbers. For tests.
    const char* (*read_number)(const char* first, const char* last, double& value) noexcept;
};

// Plain C++ on 64-bit words: runs on every CPU, of either byte order.
extern const kernel_set portable_kernels;
// Runs on every x86-64 CPU.
extern const kernel_set sse2_kernels;
// Built unless the build is capped below them; run only where the CPU has them.
extern const kernel_set avx2_kernels;
extern const kernel_set avx512_kernels;
// Runs on every arm64 CPU: Advanced SIMD is part of the architecture.
extern const kernel_set neon_kernels;

// Every kernel set this build has and this CPU runs, narrowest first.
std::span<const kernel_set* const> runnable_kernels();

// The widest of them, chosen on the first call and kept for the run.
const kernel_set& chosen_kernels();

}  // namespace mean
