#include "line_count.hpp"

#include <emmintrin.h>
#include <cerrno>

#include "file.hpp"

namespace mean {

std::uint64_t count_newlines(const char* data, std::size_t size) noexcept {
    std::uint64_t count = 0;
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    // Each byte lane gains at most 4 per round of 64 bytes, so 63 rounds fit in a byte.
    while (size >= 64) {
        std::size_t rounds = size / 64 < 63 ? size / 64 : 63;
        size -= rounds * 64;
        __m128i lanes = zero;
        for (; rounds != 0; --rounds, data += 64) {
            const auto* v = reinterpret_cast<const __m128i*>(data);
            const __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(v), newline);
            const __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(v + 1), newline);
            const __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(v + 2), newline);
            const __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(v + 3), newline);
            lanes = _mm_sub_epi8(lanes, _mm_add_epi8(_mm_add_epi8(a, b), _mm_add_epi8(c, d)));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_extract_epi16(sums, 4));
    }
    for (; size != 0; --size, ++data)
        count += *data == '\n';
    return count;
}

count_result count_lines(int fd) {
    const page_buffer buffer = make_page_buffer(read_block);
    std::uint64_t lines = 0;
    for (;;) {
        const ssize_t got = read_some(fd, buffer.get(), read_block);
        if (got < 0) return {0, error_text(errno)};
        if (got == 0) break;
        lines += count_newlines(buffer.get(), static_cast<std::size_t>(got));
        if (lines > static_cast<std::uint64_t>(max_lines)) {
            return {0, "more than " + std::to_string(max_lines) + " lines"};
        }
    }
    return {static_cast<std::int32_t>(lines), {}};
}

}  // namespace mean
