// The mean pass over the data file, and the result line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "file.hpp"
#include "line_count.hpp"

namespace mean {

struct average_result {
    double mean = 0.0;
    std::int64_t line = 0;  // the data line at fault, or 0 when the fault has no line
    std::string error;      // empty when the mean is complete
};

// Reads `line_count` numbers from the open file `fd`, from where it stands, in file order and
// whatever the lines between them; sums them in that order (total = value + total, from +0.0)
// and returns total / line_count. Anything but a number where one is due, end of input before
// `line_count` numbers, or a failed read ends the pass with an error. Reads `read_size` bytes
// at a time. Does not close fd.
average_result average_values(int fd, std::int32_t line_count, std::size_t read_size = block_size);

// The same, while count_lines counts the file's lines beside it into `bound`: the numbers of a
// read are summed once the count is known to be at least as large as the numbers the read may
// hold, or final; the pass ends where the final count's numbers are read. Where the count
// fails, `bound` ends at 0 and so does the pass; its result is then of no use.
average_result average_values(int fd, const line_bound& bound, std::size_t read_size = block_size);

// Writes `mean` as the result line, "%lf\n", to the open file `fd`: 0, or the errno of the
// failed write. Does not close fd.
int write_result(int fd, double mean);

}  // namespace mean
