#include "mean.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <unistd.h>
#include <utility>

#include "file.hpp"
#include "line_count.hpp"
#include "number.hpp"

namespace mean {
namespace {

// The text at p, up to the next white space, as a short quoted and escaped string.
std::string quote(const char* p, const char* end) {
    constexpr std::size_t shown = 32;
    std::string text = "\"";
    std::size_t n = 0;
    for (; p != end && !is_space(*p) && n < shown; ++p, ++n) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            text += hex;
        }
    }
    text += '"';
    if (p != end && !is_space(*p)) text += "...";
    return text;
}

// Why the text at p, where a number is due, is not one. A text longer than any number
// read is refused as such whatever it holds, so the message does not depend on where the
// text falls in the file.
std::string refusal(const char* p, const char* end) {
    const char* stop = p;
    while (stop != end && !is_space(*stop) &&
           static_cast<std::size_t>(stop - p) <= max_number_length) {
        ++stop;
    }
    if (static_cast<std::size_t>(stop - p) > max_number_length) {
        return "expected a number, found more than " + std::to_string(max_number_length) +
               " bytes without white space";
    }
    return "expected a number, found " + quote(p, end);
}

std::string counted(std::int32_t n, const char* noun) {
    return std::to_string(n) + ' ' + noun + (n == 1 ? "" : "s");
}

// Bit i set when p[i] is white space, for i from 0 to 63.
std::uint64_t space_mask(const char* p) noexcept {
#if defined(__SSE2__)
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        // Tab to carriage return are 9 to 13: x - 9 is at most 4 as an unsigned byte.
        const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8(9));
        const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(4)), t);
        const __m128i blanks = _mm_cmpeq_epi8(x, _mm_set1_epi8(' '));
        const auto bits =
            static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_or_si128(controls, blanks)));
        mask |= std::uint64_t{bits} << (16 * i);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= std::uint64_t{is_space(p[i])} << i;
    return mask;
#endif
}

// The line of the data file that holds byte `offset`, counted from 1 by reading the file
// again from its start; 0 when it cannot be read so.
std::int64_t line_of(int fd, std::int64_t offset) {
    const page_buffer buffer = make_page_buffer(read_block);
    std::int64_t at = 0;
    std::uint64_t newlines = 0;
    while (at < offset) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(offset - at, static_cast<std::int64_t>(read_block)));
        const ssize_t got = ::pread(fd, buffer.get(), want, at);
        if (got <= 0) return 0;
        newlines += count_newlines(buffer.get(), static_cast<std::size_t>(got));
        at += got;
    }
    return static_cast<std::int64_t>(newlines) + 1;
}

}  // namespace

mean_result average_values(int fd, std::int32_t line_count) {
    // Reads land at `block`, page aligned; the unread tail of the last read, a number cut in
    // two, is moved to just before it. The scan for white space reads whole 64-byte chunks,
    // so the buffer has one chunk of slack at its end.
    const std::size_t size = max_number_length + read_block + 64;
    const page_buffer storage = make_page_buffer(size);
    std::memset(storage.get(), ' ', size);
    char* const block = storage.get() + max_number_length;
    const char* p = block;  // the unread bytes are [p, end)
    const char* end = block;
    std::int64_t block_offset = 0;  // the file offset of `block`
    bool at_end = false;
    double total = 0.0;
    std::int32_t index = 0;

    const auto fault = [&](const char* at, std::string what) {
        return mean_result{0.0, line_of(fd, block_offset + (at - block)), std::move(what)};
    };

    while (index < line_count) {
        if (!at_end) {
            const auto tail = static_cast<std::size_t>(end - p);
            if (tail > max_number_length) return fault(p, refusal(p, end));
            std::memmove(block - tail, p, tail);
            p = block - tail;
            block_offset += end - block;
            const ssize_t got = read_some(fd, block, read_block);
            if (got < 0) return {0.0, 0, error_text(errno)};
            if (got == 0) at_end = true;
            end = block + (got > 0 ? got : 0);
        }
        // Every number that starts before `whole` ends in the buffer: before end of input,
        // only up to the last white space is known to hold whole numbers.
        const char* whole = end;
        if (!at_end) {
            while (whole != p && !is_space(whole[-1])) {
                --whole;
            }
        }
        // Numbers start where white space ends; finding the starts a chunk at a time keeps
        // the way from one number to the next short, whatever the reader does with each.
        std::uint64_t space_before = 1;  // p follows white space or starts the cut number
        for (const char* chunk = p; chunk < whole && index < line_count; chunk += 64) {
            const auto left = static_cast<std::size_t>(whole - chunk);
            std::uint64_t spaces = space_mask(chunk);
            if (left < 64) spaces |= ~std::uint64_t{0} << left;
            std::uint64_t starts = ~spaces & ((spaces << 1) | space_before);
            space_before = spaces >> 63;
            while (starts != 0) {
                const char* const q = chunk + std::countr_zero(starts);
                starts &= starts - 1;
                double value;
                const char* next = parse_number(q, whole, value);
                if (next == q || static_cast<std::size_t>(next - q) > max_number_length) {
                    return fault(q, refusal(q, end));
                }
                total = value + total;
                if (++index == line_count) break;
            }
        }
        p = whole;
        if (index < line_count && at_end) {
            return {0.0, 0, counted(line_count, "line") + " but only " + counted(index, "number")};
        }
    }
    return {total / static_cast<double>(line_count), 0, {}};
}

int write_result(int fd, double mean) {
    char text[400];  // the longest is -DBL_MAX: a sign, 309 digits, a point, 6 digits, newline
    const int length = std::snprintf(text, sizeof text, "%lf\n", mean);
    return write_all(fd, text, static_cast<std::size_t>(length));
}

}  // namespace mean
