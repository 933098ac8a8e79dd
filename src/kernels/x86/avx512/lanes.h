// Masks of 64 bits read as lanes of the AVX-512 set's vectors. Included by its file inside
// its target region.

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

// In both 64-bit halves of each lane: how many of the lane's bytes `bits` marks.
[[gnu::always_inline]] inline __m512i lane_counts(std::uint64_t bits) noexcept {
    const __m512i halves = _mm512_sad_epu8(_mm512_maskz_set1_epi8(bits, 1), _mm512_setzero_si512());
    return _mm512_add_epi64(halves, _mm512_maskz_shuffle_epi32(0xFFFF, halves, _MM_PERM_BADC));
}
