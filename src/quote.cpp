// The quoting follows the "shell-escape" style of GNU coreutils' ls and gnulib's quotearg:
// single quotes around the name, and the bytes a terminal would act on as $'...' escapes.
#include "quote.hpp"

#include <cstddef>

namespace mean {

namespace {

// The length of the character at the start of `s` when it is a printable ASCII byte or a
// well-formed UTF-8 sequence for anything but U+0080 to U+009F; 0 otherwise, that is for a
// control byte, a continuation byte, an overlong or truncated sequence, a surrogate, or a
// code point beyond U+10FFFF.
std::size_t shown_length(std::string_view s) noexcept {
    const auto at = [s](std::size_t i) -> unsigned {
        return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
    };
    const unsigned lead = at(0);
    if (lead >= 0x20 && lead < 0x7F) return 1;
    // C0 and C1 could only start overlong forms; F5 to FF only code points past U+10FFFF.
    if (lead < 0xC2 || lead > 0xF4) return 0;
    // The range of the second byte that keeps the sequence shortest and in range: no
    // overlong forms after E0 and F0, no surrogates after ED, nothing past U+10FFFF after F4,
    // and, after C2, no C1 control characters.
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead == 0xC2) low = 0xA0;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (at(1) < low || at(1) > high) return 0;
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    for (std::size_t i = 2; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// Appends \a, \b, \t, \n, \v, \f or \r for the bytes 7 to 13, a three-digit octal escape for
// any other byte.
void append_escape(std::string& out, unsigned char byte) {
    constexpr char letters[] = "abtnvfr";
    out += '\\';
    if (byte >= '\a' && byte <= '\r') {
        out += letters[byte - '\a'];
        return;
    }
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

bool needs_quoting(std::string_view path) noexcept {
    if (path.empty()) return true;
    while (!path.empty()) {
        const std::size_t length = shown_length(path);
        if (length == 0) return true;
        path.remove_prefix(length);
    }
    return false;
}

std::string quote_path(std::string_view path) {
    if (!needs_quoting(path)) return std::string(path);
    std::string out = "'";
    bool escaping = false;  // inside a $'...' part
    while (!path.empty()) {
        const std::size_t length = shown_length(path);
        if (length == 0) {
            if (!escaping) out += "'$'";
            escaping = true;
            append_escape(out, static_cast<unsigned char>(path.front()));
            path.remove_prefix(1);
            continue;
        }
        if (escaping) out += "''";
        escaping = false;
        if (path.front() == '\'') {
            out += "'\\''";
        } else {
            out += path.substr(0, length);
        }
        path.remove_prefix(length);
    }
    out += '\'';
    return out;
}

}  // namespace mean
