// run_timed INPUT OUTPUT PROGRAM [ARG...]: runs PROGRAM with standard input from INPUT and
// standard output into OUTPUT, then prints "WALL_NS MAXRSS_KIB STATUS": the wall time from just
// before the fork to the end of the wait, in nanoseconds; the program's peak resident set size
// from wait4, in KiB; and its exit status (128 + the signal number when a signal ended it).
//
// The child is made by fork, not vfork or posix_spawn: a child that shares its parent's
// memory until exec would report the parent's peak resident set size as its own. This
// program stays small so that what the child inherits before exec is a few hundred KiB.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

std::int64_t now_ns() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

int fail(const char* where) {
    std::fprintf(stderr, "run_timed: %s: %s\n", where, std::strerror(errno));
    return 125;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: run_timed INPUT OUTPUT PROGRAM [ARG...]\n", stderr);
        return 125;
    }
    const int input = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (input < 0) return fail(argv[1]);
    const int output = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (output < 0) return fail(argv[2]);

    const std::int64_t start = now_ns();
    const pid_t child = ::fork();
    if (child < 0) return fail("fork");
    if (child == 0) {
        if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0) _exit(126);
        ::execvp(argv[3], argv + 3);
        std::fprintf(stderr, "run_timed: %s: %s\n", argv[3], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) return fail("wait4");
    }
    const std::int64_t wall = now_ns() - start;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%lld %ld %d\n", static_cast<long long>(wall), usage.ru_maxrss, code);
    return 0;
}
