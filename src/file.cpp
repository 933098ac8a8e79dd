#include "file.hpp"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace mean {

unique_fd& unique_fd::operator=(unique_fd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

unique_fd::~unique_fd() {
    close();
}

int unique_fd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int unique_fd::close() noexcept {
    if (fd_ < 0) return 0;
    // Linux releases the descriptor even when close fails, so it is never retried.
    const int result = ::close(release());
    return result == 0 ? 0 : errno;
}

page_buffer make_page_buffer(std::size_t size) {
    constexpr std::size_t page = 4096;
    // aligned_alloc takes only sizes that are a multiple of the alignment.
    page_buffer buffer(
        static_cast<char*>(std::aligned_alloc(page, (size + page - 1) / page * page)));
    if (!buffer) throw std::bad_alloc();
    return buffer;
}

ssize_t read_some(int fd, char* buffer, std::size_t size) noexcept {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

int write_all(int fd, const char* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

std::string error_text(int error) {
    return std::strerror(error);
}

}  // namespace mean
