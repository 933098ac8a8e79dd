// Bit masks of bytes read as lanes: the bits of each vector lane's bytes, side by side in one
// 64-bit word, handled for all lanes at once, with the operations of general registers that
// every x86-64 CPU has (and PEXT where a set allows it). Included by the x86 sets' files inside
// their target regions.

// 64-bit masks read as lanes of `width` bits: 16 for the bytes of four 128-bit lanes, 32 for
// those of two 256-bit halves. Bit 0 of each lane, and its last bit:
template <int width>
constexpr std::uint64_t first_bits = width == 16 ? 0x0001000100010001 : 0x0000000100000001;
template <int width>
constexpr std::uint64_t last_bits = first_bits<width> << (width - 1);

// The last bit of each lane set when any of the lane's bits is.
template <int width>
[[gnu::always_inline]] inline std::uint64_t lanes_with_any(std::uint64_t bits) noexcept {
    constexpr std::uint64_t last = last_bits<width>;
    return (((bits & ~last) + ~last) | bits) & last;
}

// Each lane's bits from its lowest set bit up: v | -v in each lane, never across lanes. The
// lanes are negated at once by the subtraction of lanes in one word (Hacker's Delight, 2-18):
// 0 - v computed below each lane's top bit, where no borrow can leave the lane, and the top
// bit set apart.
template <int width>
[[gnu::always_inline]] inline std::uint64_t from_first_set(std::uint64_t bits) noexcept {
    constexpr std::uint64_t top = last_bits<width>;
    const std::uint64_t negated = (top - (bits & ~top)) ^ (~bits & top);
    return bits | negated;
}

// Bit i for lane i, from the lanes' last bits; the others are ignored. PEXT gathers them in one
// instruction where the set's file says it may (MEAN_LANE_BITS_BY_PEXT, the AVX-512 set's: every
// CPU with it runs PEXT fast). Otherwise, for lanes of 16 bits, the last bits, 15, 31, 47 and
// 63, are shifted to 0, 16, 32 and 48 and gathered into bits 45 to 48 by one product: each term
// of the multiplier moves one of them there, and every other product of a bit and a term lands
// on a bit of its own, so nothing carries. (PEXT is slow on the AMD CPUs with AVX2 before
// Zen 3, and the baseline lacks it.)
template <int width>
[[gnu::always_inline]] inline unsigned lane_bits(std::uint64_t bits) noexcept {
#if defined(MEAN_LANE_BITS_BY_PEXT)
    return static_cast<unsigned>(_pext_u64(bits, last_bits<width>));
#else
    const std::uint64_t last = bits & last_bits<width>;
    if constexpr (width == 16) {
        return static_cast<unsigned>(((last >> 15) * 0x0000200040008001) >> 45) & 0xF;
    } else {
        return static_cast<unsigned>((last >> 31) & 1) | static_cast<unsigned>(last >> 62);
    }
#endif
}
