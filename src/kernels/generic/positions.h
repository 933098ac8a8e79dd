// Bitmaps of positions into lists of them, with the bit operations of every CPU. Included by a
// set's file inside its target region.

// Writes chunk + i for each bit i set in `bits` to out, in order, and returns `count`, the
// number of bits set. Eight positions are written at a time whether or not there are so many
// bits (simdjson's way of turning a bitmap into indexes), so that no branch depends on each
// number; `out` has room for 64 more than are set.
//
// With `top_bit`, the positions past the last, which are not read, are chunk + 63: the top bit
// set in what is counted keeps the count of trailing zeros from testing for 0, which GCC does
// with a branch that goes either way with the number of bits in a chunk where their number
// varies, as numbers of many lengths make it (in memory, on the AVX2 set, integers, shortest
// round-trip output and %.15g read 5 to 10% faster so, %.10f timestamps, whose count the
// branch predictor had learnt, about 5% slower). Not for a CPU without TZCNT, whose BSF, for a
// value known not to be 0, waits for the register it writes, chaining the eight counts (the
// baseline read %.10f and %.17e 8% slower so).
template <bool top_bit = true>
[[gnu::always_inline]] inline int write_positions(const char** out, const char* chunk,
                                                  std::uint64_t bits, int count) noexcept {
    constexpr std::uint64_t kept = top_bit ? std::uint64_t{1} << 63 : 0;
    for (int i = 0; i < 8; ++i) {
        out[i] = chunk + std::countr_zero(bits | kept);
        bits &= bits - 1;
    }
    if (count > 8) {
        for (int i = 8; i < 16; ++i) {
            out[i] = chunk + std::countr_zero(bits | kept);
            bits &= bits - 1;
        }
        for (int i = 16; bits != 0; ++i) {
            out[i] = chunk + std::countr_zero(bits);
            bits &= bits - 1;
        }
    }
    return count;
}

// The bit operations of the sets whose CPU counts the bits of a word in one instruction (or
// whose compiler counts them well): a set's operations take them by inheriting these.
struct counted_positions {
    [[gnu::always_inline]] static int bit_count(std::uint64_t bits) noexcept {
        return std::popcount(bits);
    }
    [[gnu::always_inline]] static int append_positions(const char** out, const char* chunk,
                                                       std::uint64_t bits) noexcept {
        return write_positions(out, chunk, bits, std::popcount(bits));
    }
};
