// The white space that separates numbers.
#pragma once

namespace mean {

// Space, tab, newline, vertical tab, form feed and carriage return: what isspace() gives in
// the C locale. Every classifier of white space in the tool is tested against this one.
constexpr bool is_space(char c) noexcept {
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

}  // namespace mean
