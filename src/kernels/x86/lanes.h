// Bit masks of bytes read as lanes: the bits of each vector lane's bytes, side by side in one
// 64-bit word, handled for all lanes at once. Included by the AVX2 and AVX-512 sets' files inside
// their target regions (it needs BMI2).

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

// Each lane's bits from its lowest set bit up: spread upwards, never across lanes.
template <int width>
[[gnu::always_inline]] inline std::uint64_t from_first_set(std::uint64_t bits) noexcept {
    for (int shift = 1; shift < width; shift *= 2)
        bits |= (bits << shift) & ~(first_bits<width> * ((std::uint64_t{1} << shift) - 1));
    return bits;
}

// Bit i for lane i, from the lanes' last bits.
template <int width>
[[gnu::always_inline]] inline unsigned lane_bits(std::uint64_t last) noexcept {
    return static_cast<unsigned>(_pext_u64(last, last_bits<width>));
}
