#include "mean.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "file.hpp"
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

std::string too_long() {
    return "number longer than " + std::to_string(max_number_length) + " bytes";
}

std::string counted(std::int32_t n, const char* noun) {
    return std::to_string(n) + ' ' + noun + (n == 1 ? "" : "s");
}

}  // namespace

mean_result average_values(int fd, std::int32_t line_count) {
    const std::unique_ptr<char[]> storage(new char[max_number_length + read_block]);
    char* const buffer = storage.get();
    const char* p = buffer;  // the unread bytes are [p, end)
    const char* end = buffer;
    bool at_end = false;
    double total = 0.0;
    std::int32_t index = 0;
    std::int64_t line = 1;

    while (index < line_count) {
        if (!at_end) {
            // Keep the unread tail, a number cut by the end of the last read, and read on.
            const auto tail = static_cast<std::size_t>(end - p);
            if (tail > max_number_length) {
                double ignored;
                if (parse_number(p, end, ignored) == p) {
                    return {0.0, line, "expected a number, found " + quote(p, end)};
                }
                return {0.0, line, too_long()};
            }
            std::memmove(buffer, p, tail);
            p = buffer;
            end = buffer + tail;
            const ssize_t got = read_some(fd, buffer + tail, read_block);
            if (got < 0) return {0.0, 0, error_text(errno)};
            if (got == 0) at_end = true;
            end += got;
        }
        // Every number that starts before `whole` ends in the buffer: before end of input,
        // only up to the last white space is known to hold whole numbers.
        const char* whole = end;
        if (!at_end) {
            while (whole != p && !is_space(whole[-1]))
                --whole;
        }
        while (index < line_count) {
            while (p != whole && is_space(*p)) {
                line += *p == '\n';
                ++p;
            }
            if (p == whole) break;
            double value;
            const char* next = parse_number(p, whole, value);
            if (next == p) return {0.0, line, "expected a number, found " + quote(p, end)};
            if (static_cast<std::size_t>(next - p) > max_number_length) {
                return {0.0, line, too_long()};
            }
            total = value + total;
            ++index;
            p = next;
        }
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
