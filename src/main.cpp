// mean DATA-FILE RESULT-FILE: prints the data file's line count, then writes the mean of its
// numbers into the result file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

#include "file.hpp"
#include "line_count.hpp"
#include "mean.hpp"

namespace {

int fail(const std::string& where, const std::string& what) {
    std::fprintf(stderr, "mean: %s: %s\n", where.c_str(), what.c_str());
    return 1;
}

int fail_at(const std::string& path, std::int64_t line, const std::string& what) {
    return line > 0 ? fail(path + ':' + std::to_string(line), what) : fail(path, what);
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the data file for reading. A pipe, FIFO or socket cannot be read twice, so it is
// refused; the open does not block on a FIFO that has no writer.
mean::unique_fd open_data(const char* path, struct stat& info, std::string& error) {
    constexpr const char* once = "is a pipe or socket, which cannot be read twice";
    mean::unique_fd fd(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd || ::fstat(fd.get(), &info) != 0) {
        const int failed = errno;
        // Opening a socket fails with ENXIO; say what the path is instead.
        const bool socket = failed == ENXIO && ::stat(path, &info) == 0 && S_ISSOCK(info.st_mode);
        error = socket ? once : mean::error_text(failed);
        return {};
    }
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
        error = once;
        return {};
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = mean::error_text(errno);
        return {};
    }
    return fd;
}

constexpr const char* same_file_error = "is the data file; refusing to overwrite it";

// The run from the arguments to the exit status.
int run(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: mean DATA-FILE RESULT-FILE\n", stderr);
        return 2;
    }
    const std::string data_path = argv[1];
    const std::string result_path = argv[2];
    std::string error;

    struct stat data_info {};
    mean::unique_fd data = open_data(argv[1], data_info, error);
    if (!data) return fail(data_path, error);
    // Refuse a result path that names the data file before anything is written.
    struct stat result_info {};
    if (::stat(argv[2], &result_info) == 0 && same_file(result_info, data_info)) {
        return fail(result_path, same_file_error);
    }

    const mean::count_result count = mean::count_lines(data.get());
    if (!count.error.empty()) return fail(data_path, count.error);
    std::printf("%d\n", count.lines);
    if (std::fflush(stdout) != 0) return fail("standard output", mean::error_text(errno));
    data.close();

    struct stat again {};
    data = open_data(argv[1], again, error);
    if (!data) return fail(data_path, error);
    if (!same_file(again, data_info)) return fail(data_path, "was replaced during the run");

    // Opened without O_TRUNC so that the check below comes before any byte is lost; an
    // existing regular file is then emptied, as "w" would.
    mean::unique_fd result(::open(argv[2], O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!result || ::fstat(result.get(), &result_info) != 0) {
        return fail(result_path, mean::error_text(errno));
    }
    if (same_file(result_info, data_info)) return fail(result_path, same_file_error);
    if (S_ISREG(result_info.st_mode) && ::ftruncate(result.get(), 0) != 0) {
        return fail(result_path, mean::error_text(errno));
    }

    const mean::average_result average = mean::average_values(data.get(), count.lines);
    if (!average.error.empty()) return fail_at(data_path, average.line, average.error);
    if (const int failed = mean::write_result(result.get(), average.mean)) {
        return fail(result_path, mean::error_text(failed));
    }
    data.close();
    if (const int failed = result.close()) return fail(result_path, mean::error_text(failed));
    if (std::fclose(stdout) != 0) return fail("standard output", mean::error_text(errno));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        return fail(argc > 1 ? argv[1] : "mean", mean::error_text(ENOMEM));
    }
}
