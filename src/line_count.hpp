// The data file's line count: the number of newline bytes in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mean {

// The most lines a data file may have: the largest 32-bit signed integer.
inline constexpr std::int64_t max_lines = INT32_MAX;

struct count_result {
    std::int32_t lines = 0;
    std::string error;  // empty when the whole file was counted
};

// Reads the open file `fd` from where it stands to its end and counts its newline bytes. A
// failed read, or more than max_lines lines, ends the count with an error. Does not close fd.
count_result count_lines(int fd);

}  // namespace mean
