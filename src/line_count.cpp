#include "line_count.hpp"

#include <cerrno>

#include "file.hpp"
#include "kernels/kernels.hpp"

namespace mean {

void line_bound::counted(std::uint64_t lines) noexcept {
    state_.store(2 * static_cast<std::int64_t>(lines), std::memory_order_release);
    state_.notify_all();
}

void line_bound::finish(std::int32_t lines) noexcept {
    state_.store(2 * std::int64_t{lines} + 1, std::memory_order_release);
    state_.notify_all();
}

std::int64_t line_bound::at_least(std::int64_t lines, bool& final) const noexcept {
    std::int64_t state = state_.load(std::memory_order_acquire);
    while ((state & 1) == 0 && state / 2 < lines) {
        state_.wait(state, std::memory_order_acquire);
        state = state_.load(std::memory_order_acquire);
    }
    final = (state & 1) != 0;
    return state / 2;
}

count_result count_lines(int fd, line_bound* bound) {
    // Whatever ends the count, a bound given is told that it has ended.
    struct finisher {
        line_bound* bound;
        std::int32_t lines = 0;
        ~finisher() {
            if (bound != nullptr) bound->finish(lines);
        }
    } finish{bound};
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
        if (bound != nullptr) bound->counted(lines);
    }
    finish.lines = static_cast<std::int32_t>(lines);
    return {static_cast<std::int32_t>(lines), {}};
}

}  // namespace mean
