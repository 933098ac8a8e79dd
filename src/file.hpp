// File descriptors owned by RAII, and the few system calls the tool makes on them.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

namespace mean {

// How many bytes each read of the data file asks for, unless a test asks for other sizes.
inline constexpr std::size_t block_size = std::size_t{1} << 18;

// Owns one open file descriptor and closes it when it goes out of scope.
class unique_fd {
  public:
    unique_fd() = default;
    explicit unique_fd(int fd) noexcept : fd_(fd) {}
    unique_fd(unique_fd&& other) noexcept : fd_(other.release()) {}
    unique_fd& operator=(unique_fd&& other) noexcept;
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;
    ~unique_fd();

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    // Closes now and returns 0, or the errno of a failed close.
    int close() noexcept;

  private:
    int fd_ = -1;
};

struct free_deleter {
    void operator()(char* p) const noexcept { std::free(p); }
};
using page_buffer = std::unique_ptr<char[], free_deleter>;

// A buffer of at least `size` bytes that starts on a page boundary. The kernel
// copies into a page-aligned buffer several times faster than into one that is not aligned to
// a cache line, so every read of the data file lands on such a boundary.
page_buffer make_page_buffer(std::size_t size);

// read(2) that retries on EINTR: the byte count, 0 at end of input, -1 with errno set.
ssize_t read_some(int fd, char* buffer, std::size_t size) noexcept;

// Writes every byte, retrying short writes and EINTR: 0, or the errno of the failure.
int write_all(int fd, const char* data, std::size_t size) noexcept;

// The system's text for an errno value, as in "No such file or directory".
std::string error_text(int error);

}  // namespace mean
