// Files of billions of bytes: the line count's limit and 64-bit file sizes.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cstdint>
#include <string>

#include "run_tool.hpp"

namespace {

constexpr std::uint64_t gib = std::uint64_t{1} << 30;

bool has_free_space(const std::string& dir, std::uint64_t bytes) {
    struct statvfs info {};
    return ::statvfs(dir.c_str(), &info) == 0 &&
           static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize > bytes + gib;
}

// Appends `count` copies of `byte` to the file at `path`.
void append_bytes(const std::string& path, char byte, std::uint64_t count) {
    FILE* file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    const std::string block(std::size_t{1} << 20, byte);
    while (count != 0) {
        const std::size_t n = count < block.size() ? count : block.size();
        ASSERT_EQ(std::fwrite(block.data(), 1, n, file), n);
        count -= n;
    }
    ASSERT_EQ(std::fclose(file), 0);
}

TEST(Large, LineCountLimitIsTheLargest32BitInteger) {
    const scratch_dir dir;
    if (!has_free_space(dir.root(), 2 * gib)) GTEST_SKIP() << "needs 3 GiB free in " << dir.root();
    const std::string data = dir.path("lines.txt");
    append_bytes(data, '\n', 2 * gib);  // 2^31 newlines: one too many

    const tool_run over = run_tool({data, "result.txt"}, dir.root(), "", 300);
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(over.out, "");
    EXPECT_EQ(over.err, "mean: " + data + ": more than 2147483647 lines\n");
    EXPECT_EQ(read_file(dir.path("result.txt")), "<missing>");

    ASSERT_EQ(::truncate(data.c_str(), 2 * gib - 1), 0);
    const tool_run limit = run_tool({data, "result.txt"}, dir.root(), "", 300);
    EXPECT_EQ(limit.status, 1);
    EXPECT_EQ(limit.out, "2147483647\n");
    EXPECT_EQ(limit.err, "mean: " + data + ": 2147483647 lines but only 0 numbers\n");
}

TEST(Large, FilesBeyond4GiBAreReadToTheEnd) {
    const scratch_dir dir;
    const std::uint64_t spaces = 4 * gib + gib / 2;
    if (!has_free_space(dir.root(), spaces)) GTEST_SKIP() << "needs 5.5 GiB free in " << dir.root();
    const std::string data = dir.path("wide.txt");
    write_file(data, "1\n");
    append_bytes(data, ' ', spaces);
    append_bytes(data, '3', 1);
    append_bytes(data, '\n', 1);

    const tool_run run = run_tool({data, "result.txt"}, dir.root(), "", 300);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "2\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(read_file(dir.path("result.txt")), "2.000000\n");
}

}  // namespace
