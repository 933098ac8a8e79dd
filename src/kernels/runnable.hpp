// The kernel sets this build has and this CPU runs, as each architecture finds them.
#pragma once

#include <array>
#include <cstddef>

#include "kernels/kernels.hpp"

namespace mean {

struct kernel_list {
    std::array<const kernel_set*, 4> sets{};
    std::size_t count = 0;

    void add(const kernel_set& set) noexcept { sets[count++] = &set; }
};

// Adds to `list`, narrowest first, the sets beyond the portable one that this build has and
// this CPU runs. Defined once for each architecture: x86/runnable.cpp, arm64/runnable.cpp,
// fallback/runnable.cpp for the others.
void add_runnable_kernels(kernel_list& list) noexcept;

}  // namespace mean
