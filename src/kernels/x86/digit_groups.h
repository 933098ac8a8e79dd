// Digits summed in groups of eight with AVX2's byte and word multiply-adds: the pairwise
// multiply-adds of Mula's and Lemire's SIMD integer parsing. Included by a kernel file inside
// its target region.

// The 32 lanes of digit values (0 to 9, the most significant first) summed in groups of eight:
// `front` gets the groups of lanes 0 to 7 and 8 to 15, `back` those of 16 to 23 and 24 to 31,
// as join_groups takes them.
[[gnu::always_inline]] inline void eight_digit_groups(__m256i values, std::uint64_t& front,
                                                      std::uint64_t& back) noexcept {
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi16(0x010A));
    const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
    const __m256i eights =
        _mm256_madd_epi16(_mm256_packus_epi32(fours, fours), _mm256_set1_epi32(0x00012710));
    front = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(eights)));
    back = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm256_extracti128_si256(eights, 1)));
}
