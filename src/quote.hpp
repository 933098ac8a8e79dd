// File names as the tool's messages show them.
#pragma once

#include <string>
#include <string_view>

namespace mean {

// Whether a message shows `path` quoted: when it is empty, or holds a control character (a
// byte below 0x20, the byte 0x7F, or U+0080 to U+009F) or bytes that are not UTF-8.
bool needs_quoting(std::string_view path) noexcept;

// `path` as a message shows it. A name that needs no quoting comes back unchanged. Any other
// is put in single quotes, with each ' as '\'' and each run of control or stray bytes as a
// $'...' part of \a, \b, \t, \n, \v, \f, \r and three-digit octal escapes, for example
// 'bad'$'\n''name'$'\033''[31m.txt'. The text is then one line, holds no terminal control,
// and reads back in a POSIX shell with $'...' (bash, zsh, ksh) as the same name.
std::string quote_path(std::string_view path);

}  // namespace mean
