// Eight bytes at a time in a 64-bit word: the bytes loaded in text order on a CPU of either
// byte order, and the value of the ASCII digits among them (the SWAR number parsing of Lemire,
// as in fast_float).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace mean {

// The 8 (or 4) bytes at p as one word whose lowest byte is p[0]: what a load gives on a
// little-endian CPU, and a load and a byte swap on a big-endian one.
[[gnu::always_inline]] inline std::uint64_t load_le64(const char* p) noexcept {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}
[[gnu::always_inline]] inline std::uint32_t load_le32(const char* p) noexcept {
    std::uint32_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
    return word;
}

// Whether every byte of a word loaded by load_le64 is an ASCII digit.
constexpr bool all_digits(std::uint64_t word) noexcept {
    return ((word & 0xF0F0F0F0F0F0F0F0) |
            (((word + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) == 0x3333333333333333;
}

// The value of eight decimal digits, 0 to 9 each, the most significant in the lowest byte:
// pairs, fours, then all eight, in three multiplications.
constexpr std::uint64_t digit_word_value(std::uint64_t digits) noexcept {
    digits = digits * 10 + (digits >> 8);
    return ((digits & 0x000000FF000000FF) * 0x000F424000000064 +
            ((digits >> 16) & 0x000000FF000000FF) * 0x0000271000000001) >>
           32;
}

// The value of the eight ASCII digits at p, which all_digits must have accepted.
constexpr std::uint64_t eight_digit_value(std::uint64_t word) noexcept {
    return digit_word_value(word - 0x3030303030303030);
}

// The value of the n (0 to 8) ASCII digits at s, read as one word with the bytes after them.
// Subtracting may borrow only upwards, from the bytes after the digits, which the shift drops;
// the zero bytes shifted in stand for leading zeros. Two shifts, so that n = 0 gives 0.
[[gnu::always_inline]] inline std::uint64_t leading_digits_value(const char* s, int n) noexcept {
    const std::uint64_t digits = load_le64(s) - 0x3030303030303030;
    return digit_word_value((digits << (4 * (8 - n))) << (4 * (8 - n)));
}

}  // namespace mean
