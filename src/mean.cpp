#include "mean.hpp"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "file.hpp"
#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/space.hpp"

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

// The line of the data file that holds byte `offset`, counted from 1 by reading the file
// again from its start; 0 when it cannot be read so.
std::int64_t line_of(int fd, std::int64_t offset) {
    const page_buffer buffer = make_page_buffer(block_size);
    std::int64_t at = 0;
    std::uint64_t newlines = 0;
    while (at < offset) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(offset - at, static_cast<std::int64_t>(block_size)));
        const ssize_t got = ::pread(fd, buffer.get(), want, at);
        if (got <= 0) return 0;
        newlines += chosen_kernels().count_newlines(buffer.get(), static_cast<std::size_t>(got));
        at += got;
    }
    return static_cast<std::int64_t>(newlines) + 1;
}

}  // namespace

average_result average_values(int fd, std::int32_t line_count, std::size_t read_size) {
    const line_bound bound(line_count);
    return average_values(fd, bound, read_size);
}

average_result average_values(int fd, const line_bound& bound, std::size_t read_size) {
    const kernel_set& kernels = chosen_kernels();
    // Reads land at `block`, page aligned; the unread tail of the last read, a number cut in
    // two, is moved to just before it. The kernels read up to 32 bytes before a number and 64
    // after the text they are given, so the buffer has that much slack at either end.
    constexpr std::size_t front = 4096;  // keeps `block` on a page boundary
    const std::size_t size = front + max_number_length + read_size + 64;
    const page_buffer storage = make_page_buffer(size);
    std::memset(storage.get(), ' ', size);
    char* const block = storage.get() + front + max_number_length;
    const char* p = block;  // the unread bytes are [p, end)
    char* end = block;
    std::int64_t block_offset = 0;  // the file offset of `block`
    bool at_end = false;
    double total = 0.0;
    std::int32_t index = 0;
    pass_mode mode{};  // the readers the pass had come to, from each block to the next

    const auto fault = [&](const char* at, std::string what) {
        return average_result{0.0, line_of(fd, block_offset + (at - block)), std::move(what)};
    };

    // The count as far as it is known: the pass reads on while it needs another number, and
    // ends where the final count's numbers are read.
    bool final = false;
    std::int64_t line_count = 0;
    for (;;) {
        line_count = bound.at_least(index + std::int64_t{1}, final);
        if (index >= line_count) break;
        if (!at_end) {
            const auto tail = static_cast<std::size_t>(end - p);
            if (tail > max_number_length) return fault(p, refusal(p, end));
            std::memmove(block - tail, p, tail);
            p = block - tail;
            block_offset += end - block;
            const ssize_t got = read_some(fd, block, read_size);
            if (got < 0) return {0.0, 0, error_text(errno)};
            if (got == 0) at_end = true;
            end = block + (got > 0 ? got : 0);
        }
        // Every number that starts before `whole` ends in the buffer: before end of input,
        // only up to the last white space is known to hold whole numbers. At the end, a
        // space after the last byte ends the last number.
        const char* whole = end;
        if (at_end) {
            *end = ' ';
        } else {
            while (whole != p && !is_space(whole[-1]))
                --whole;
        }
        // The numbers before `whole`, one byte each and white space between, are at most
        // (whole - p + 1) / 2: with a count at least index + that, the sum reads them all, and
        // the next read goes on after them. At the end of input, only the final count will do.
        line_count = bound.at_least(at_end ? INT64_MAX : index + (whole - p + 1) / 2, final);
        if (index >= line_count) break;
        const block_sum sum = kernels.sum_numbers(
            p, whole, static_cast<std::int32_t>(line_count - index), total, mode);
        total = sum.total;
        index += sum.count;
        if (sum.fault != nullptr) return fault(sum.fault, refusal(sum.fault, end));
        p = whole;
        if (index < line_count && at_end) {
            return {0.0, 0,
                    counted(static_cast<std::int32_t>(line_count), "line") + " but only " +
                        counted(index, "number")};
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
