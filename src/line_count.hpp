// The data file's line count: the number of newline bytes in it.
#pragma once

#include <atomic>
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

// The line count as count_lines finds it, for the mean pass that reads the same file beside
// it: the lines counted so far, below which a count that succeeds does not end, until the
// count is final. One writer, the count; any number of readers, which may wait for it.
class line_bound {
  public:
    // A count still to be made.
    line_bound() noexcept = default;
    // A count already made.
    explicit line_bound(std::int32_t lines) noexcept : state_(2 * std::int64_t{lines} + 1) {}
    line_bound(const line_bound&) = delete;
    line_bound& operator=(const line_bound&) = delete;

    // The count's side: `lines` counted so far, and the final count, which is 0 where the
    // count failed, so that nothing waits for lines it will not find.
    void counted(std::uint64_t lines) noexcept;
    void finish(std::int32_t lines) noexcept;

    // The reader's side: waits until the count is final or at least `lines`, and returns it
    // as it then stands, with `final` set where it is the count.
    std::int64_t at_least(std::int64_t lines, bool& final) const noexcept;

  private:
    std::atomic<std::int64_t> state_{0};  // 2 × the lines counted, plus 1 once final
};

// Reads the open file `fd` from where it stands to its end and counts its newline bytes. A
// failed read, or more than max_lines lines, ends the count with an error. Does not close fd.
// Where `bound` is given, the count so far is told to it after each read, and the count, or 0
// after an error, when it ends.
count_result count_lines(int fd, line_bound* bound = nullptr);

}  // namespace mean
