#include "line_count.hpp"

#include <cerrno>

#include "file.hpp"
#include "kernels/kernels.hpp"

namespace mean {

count_result count_lines(int fd) {
    const page_buffer buffer = make_page_buffer(block_size);
    const kernel_set& kernels = chosen_kernels();
    std::uint64_t lines = 0;
    for (;;) {
        const ssize_t got = read_some(fd, buffer.get(), block_size);
        if (got < 0) return {0, error_text(errno)};
        if (got == 0) break;
        lines += kernels.count_newlines(buffer.get(), static_cast<std::size_t>(got));
        if (lines > static_cast<std::uint64_t>(max_lines)) {
            return {0, "more than " + std::to_string(max_lines) + " lines"};
        }
    }
    return {static_cast<std::int32_t>(lines), {}};
}

}  // namespace mean
