// mean DATA-FILE RESULT-FILE: prints the data file's line count, then writes the mean of its
// numbers into the result file. `mean --help` and `mean --version` print what they say.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "file.hpp"
#include "kernels/kernels.hpp"
#include "line_count.hpp"
#include "mean.hpp"
#include "quote.hpp"

#ifndef MEAN_VERSION
#error "MEAN_VERSION, the version from CMake's project(), must be defined"
#endif

namespace {

constexpr const char* usage = "usage: mean DATA-FILE RESULT-FILE\n";

constexpr const char* help =
    "usage: mean DATA-FILE RESULT-FILE\n"
    "\n"
    "Counts the lines of DATA-FILE, that is its newline bytes, and prints the count\n"
    "on standard output. Then reads as many numbers as there are lines from the\n"
    "start of DATA-FILE, whatever white space lies between them, and writes their\n"
    "mean, as printf(\"%lf\\n\") gives it, into RESULT-FILE. A last line without a\n"
    "newline is not counted, and what follows the numbers needed is never read.\n"
    "\n"
    "A number is an optional sign and then a decimal such as 12, 0.5 or 1e-3, a\n"
    "hexadecimal constant such as 0x1.8p3, or inf, infinity or nan in any case. It\n"
    "ends at white space and is at most 65536 bytes long.\n"
    "\n"
    "Exit status:\n"
    "  0  the count was printed and the result written\n"
    "  1  a file could not be read or written, or a number is missing or malformed\n"
    "  2  fewer than two arguments\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "The manual page tells the rest: man mean\n";

// Reports a fault as "mean: WHERE: WHAT" and gives the exit status 1. WHERE is a file name
// as quote_path shows it, or "standard output".
int fail(std::string_view where, std::string_view what) {
    std::fprintf(stderr, "mean: %.*s: %.*s\n", static_cast<int>(where.size()), where.data(),
                 static_cast<int>(what.size()), what.data());
    return 1;
}

int fail_at(const std::string& name, std::int64_t line, const std::string& what) {
    return line > 0 ? fail(name + ':' + std::to_string(line), what) : fail(name, what);
}

// Writes `text` on standard output: exit status 0, or 1 when it cannot be written.
int print(const char* text) {
    if (std::fputs(text, stdout) == EOF || std::fclose(stdout) != 0) {
        return fail("standard output", mean::error_text(errno));
    }
    return 0;
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

// The run from the arguments to the exit status. Sets `data_name` to the data file's name as
// messages show it before anything else is allocated.
int run(int argc, char** argv, std::string& data_name) {
    // Only a lone argument is an option: with two or more, every argument is a path.
    if (argc == 2 && std::string_view(argv[1]) == "--help") return print(help);
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        // The second line says which kernels this CPU made the tool choose, for reports.
        const std::string version =
            std::string("mean " MEAN_VERSION "\nkernels: ") + mean::chosen_kernels().label + '\n';
        return print(version.c_str());
    }
    if (argc < 3) {
        std::fputs(usage, stderr);
        std::fputs("Try 'mean --help' for more information.\n", stderr);
        return 2;
    }
    data_name = mean::quote_path(argv[1]);
    const std::string result_name = mean::quote_path(argv[2]);
    std::string error;

    struct stat data_info {};
    mean::unique_fd data = open_data(argv[1], data_info, error);
    if (!data) return fail(data_name, error);
    // Refuse a result path that names the data file before anything is written.
    struct stat result_info {};
    if (::stat(argv[2], &result_info) == 0 && same_file(result_info, data_info)) {
        return fail(result_name, same_file_error);
    }

    // A regular file is read by both passes side by side: opened again for the mean pass, which
    // reads it beside the count, each from its own offset. Anything else (a terminal, a device)
    // is read as one stream, which two readers at once would share, and where the second open
    // fails or finds another file, the count comes first, and the file is opened again after
    // it, so that the messages come as they would then.
    mean::unique_fd numbers;
    if (S_ISREG(data_info.st_mode)) {
        struct stat again {};
        std::string unused;
        numbers = open_data(argv[1], again, unused);
        if (numbers && !same_file(again, data_info)) numbers.close();
    }

    // The count on a thread of its own, while the mean pass reads the numbers as far as the
    // count so far allows; where no thread can be started, the count first. The output is as
    // if the count came first: the count, or its error, before anything of the mean pass.
    mean::line_bound bound;
    mean::count_result count;
    bool count_out_of_memory = false;
    const auto count_lines = [&] {
        try {
            count = mean::count_lines(data.get(), &bound);
        } catch (const std::bad_alloc&) {
            count_out_of_memory = true;
        }
    };
    mean::average_result average;
    bool mean_out_of_memory = false;  // reported where the mean pass comes, after the count
    const auto average_values = [&](const mean::line_bound& lines) {
        try {
            average = mean::average_values(numbers.get(), lines);
        } catch (const std::bad_alloc&) {
            mean_out_of_memory = true;
        }
    };
    const bool side_by_side = static_cast<bool>(numbers);
    if (side_by_side) {
        std::jthread counter;
        try {
            counter = std::jthread(count_lines);
        } catch (const std::system_error&) {
            count_lines();
        } catch (const std::bad_alloc&) {
            count_lines();
        }
        average_values(bound);
    } else {
        count_lines();
    }
    if (count_out_of_memory) return fail(data_name, std::strerror(ENOMEM));
    if (!count.error.empty()) return fail(data_name, count.error);
    std::printf("%d\n", count.lines);
    if (std::fflush(stdout) != 0) return fail("standard output", mean::error_text(errno));
    data.close();
    if (!side_by_side) {
        struct stat again {};
        numbers = open_data(argv[1], again, error);
        if (!numbers) return fail(data_name, error);
        if (!same_file(again, data_info)) return fail(data_name, "was replaced during the run");
    }

    // Opened without O_TRUNC so that the check below comes before any byte is lost; an
    // existing regular file is then emptied, as "w" would.
    mean::unique_fd result(::open(argv[2], O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!result || ::fstat(result.get(), &result_info) != 0) {
        return fail(result_name, mean::error_text(errno));
    }
    if (same_file(result_info, data_info)) return fail(result_name, same_file_error);
    if (S_ISREG(result_info.st_mode) && ::ftruncate(result.get(), 0) != 0) {
        return fail(result_name, mean::error_text(errno));
    }

    if (!side_by_side) average_values(mean::line_bound(count.lines));
    numbers.close();
    if (mean_out_of_memory) return fail(data_name, std::strerror(ENOMEM));
    if (!average.error.empty()) return fail_at(data_name, average.line, average.error);
    if (const int failed = mean::write_result(result.get(), average.mean)) {
        return fail(result_name, mean::error_text(failed));
    }
    if (const int failed = result.close()) return fail(result_name, mean::error_text(failed));
    if (std::fclose(stdout) != 0) return fail("standard output", mean::error_text(errno));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string data_name;
    try {
        return run(argc, argv, data_name);
    } catch (const std::bad_alloc&) {
        // What could not be allocated is freed by now; the message itself allocates nothing.
        if (data_name.empty()) {
            std::fprintf(stderr, "mean: %s\n", std::strerror(ENOMEM));
            return 1;
        }
        return fail(data_name, std::strerror(ENOMEM));
    }
}
