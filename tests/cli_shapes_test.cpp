// The built tool on files of every common shape of number, mixed: the count and the mean a
// strtod loop gives, whichever kernels the CPU it runs on makes it choose.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "run_tool.hpp"

namespace {

TEST(Shapes, MeanIsAStrtodSumInFileOrder) {
    std::mt19937_64 random(17);
    const auto below = [&](std::uint64_t n) { return random() % n; };
    for (int file = 0; file < 3; ++file) {
        std::string content;
        double total = 0.0;
        long lines = 0;
        for (int i = 0; i < 30000; ++i) {
            char text[64];
            const double x = static_cast<double>(random() >> 11) * 0x1p-53;
            switch (below(8)) {
                case 0:
                    std::snprintf(text, sizeof text, "%llu",
                                  static_cast<unsigned long long>(random() >> below(64)));
                    break;
                case 1:
                    std::snprintf(text, sizeof text, "%.6e",
                                  (x - 0.5) * std::pow(10.0, static_cast<double>(below(21)) - 10));
                    break;
                case 2:
                    std::snprintf(text, sizeof text, "%.10f", 1.7e9 + x * 1e8);
                    break;
                case 3:
                    std::snprintf(text, sizeof text, "%.17g", (x - 0.5) * 2000);
                    break;
                case 4:
                    std::snprintf(text, sizeof text, "%+.3f", (x - 0.5) * 2000);
                    break;
                case 5:
                    std::snprintf(text, sizeof text, "%a", x);
                    break;
                case 6:
                    std::snprintf(text, sizeof text, "%.25f", x);
                    break;
                default:
                    std::snprintf(text, sizeof text, "%.17g",
                                  x * std::pow(10.0, static_cast<double>(below(60)) - 30));
                    break;
            }
            content += text;
            content += below(4) == 0 ? "\r\n" : "\n";
            total = std::strtod(text, nullptr) + total;
            ++lines;
        }
        const scratch_dir dir;
        write_file(dir.path("data.txt"), content);
        const tool_run run = run_tool({"data.txt", "result.txt"}, dir.root(), "", 120);
        char expected[400];
        std::snprintf(expected, sizeof expected, "%lf\n", total / static_cast<double>(lines));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, std::to_string(lines) + "\n");
        EXPECT_EQ(read_file(dir.path("result.txt")), expected);
    }
}

}  // namespace
