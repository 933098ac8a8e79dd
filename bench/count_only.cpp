// count_only DATA: the tool's counting pass alone. Prints DATA's line count as mean does,
// using the same reader, so that its time is the time of that pass.
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "line_count.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: count_only DATA\n", stderr);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "count_only: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const mean::count_result count = mean::count_lines(fd);
    ::close(fd);
    if (!count.error.empty()) {
        std::fprintf(stderr, "count_only: %s: %s\n", argv[1], count.error.c_str());
        return 1;
    }
    std::printf("%d\n", count.lines);
    return 0;
}
