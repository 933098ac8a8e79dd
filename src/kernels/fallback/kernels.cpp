// The portable kernels: plain C++ on 64-bit words, eight bytes at a time (SWAR), for every
// CPU of either byte order. Chosen where the build has no wider set or the CPU runs none.
#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>

#include "kernels/generic/plain_shape.h"
#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/scale.hpp"
#include "number/space.hpp"
#include "number/swar.hpp"

namespace mean::portable {
namespace {

constexpr std::uint64_t ones = 0x0101010101010101;
constexpr std::uint64_t highs = 0x8080808080808080;

// The high bit of each byte of `word` set where the byte is 0, and no other bit: the low seven
// bits of a byte plus 0x7F carry into its high bit unless they are all 0, and never beyond it.
constexpr std::uint64_t zero_bytes(std::uint64_t word) noexcept {
    return ~(((word & ~highs) + ~highs) | word) & highs;
}

// The high bit of each byte of `word` set where the byte lies in [low, high], high < 0x80. As
// above, no sum crosses into the next byte.
constexpr std::uint64_t bytes_between(std::uint64_t word, unsigned low, unsigned high) noexcept {
    const std::uint64_t seven = word & ~highs;
    const std::uint64_t at_least_low = seven + ones * (0x80 - low);
    const std::uint64_t above_high = seven + ones * (0x7F - high);
    return at_least_low & ~above_high & ~word & highs;
}

// The high bits of the eight bytes as eight bits, byte i's as bit i: each bit is moved to its
// place in the top byte by one multiplication, with no two products meeting there.
constexpr unsigned gather_high_bits(std::uint64_t high_bits) noexcept {
    return static_cast<unsigned>((high_bits * 0x0002040810204081) >> 56);
}

[[gnu::always_inline]] inline unsigned space_bits(const char* p) noexcept {
    const std::uint64_t word = load_le64(p);
    return gather_high_bits(zero_bytes(word ^ (ones * ' ')) | bytes_between(word, '\t', '\r'));
}

[[gnu::always_inline]] inline unsigned digit_bits(const char* p) noexcept {
    return gather_high_bits(bytes_between(load_le64(p), '0', '9'));
}

std::uint64_t space_mask(const char* p) noexcept {
    std::uint64_t mask = 0;
    for (int i = 0; i < 8; ++i)
        mask |= std::uint64_t{space_bits(p + 8 * i)} << (8 * i);
    return mask;
}

std::uint64_t count_newlines(const char* data, std::size_t size) noexcept {
    std::uint64_t count = 0;
    for (; size >= 8; size -= 8, data += 8) {
        std::uint64_t word;
        std::memcpy(&word, data, sizeof word);  // the order of the bytes does not matter here
        count += static_cast<std::uint64_t>(std::popcount(zero_bytes(word ^ (ones * '\n'))));
    }
    for (; size != 0; --size, ++data)
        count += *data == '\n';
    return count;
}

#include "kernels/generic/exponent_tail.h"
#include "kernels/generic/positions.h"
#include "kernels/generic/scan_runs.h"

// The runs scanner reads the plainest shape as well as the others, so it is both scanners here.
struct ops : counted_positions {
    static constexpr bool mantissas_plain = false;
    [[gnu::always_inline]] static std::uint64_t space_mask(const char* p) noexcept {
        return portable::space_mask(p);
    }
    [[gnu::always_inline]] static std::uint32_t digit_mask(const char* p) noexcept {
        return digit_bits(p) | digit_bits(p + 8) << 8 | digit_bits(p + 16) << 16 |
               digit_bits(p + 24) << 24;
    }
    [[gnu::always_inline]] static scanned scan_full(const char* q, decimal& number) noexcept {
        return scan_runs<ops>(q, number);
    }
    [[gnu::always_inline]] static scanned scan_plain(const char* q, const char*,
                                                     decimal& number) noexcept {
        return scan_runs<ops>(q, number);
    }
};

#include "kernels/generic/pass.h"

}  // namespace
}  // namespace mean::portable

namespace mean {

const kernel_set portable_kernels =
    portable::kernel_set_of<portable::ops>("portable", "portable", portable::count_newlines);

}  // namespace mean
