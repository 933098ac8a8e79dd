// The result line of a mean that is a NaN the CPU makes, as 0/0 or inf - inf: its sign is the
// CPU's choice (set on x86-64, clear on arm64 and s390x), and the tool follows the CPU.
#pragma once

#include <cstdio>
#include <string>

inline std::string made_nan_line() {
    volatile double zero = 0.0;
    char text[16];
    std::snprintf(text, sizeof text, "%lf\n", zero / zero);
    return text;
}
