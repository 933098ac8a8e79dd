// The kernel sets of an arm64 CPU: NEON, which every one has (Advanced SIMD is part of the
// architecture, and the NEON set asks for nothing beyond it).
#include "kernels/runnable.hpp"

namespace mean {

void add_runnable_kernels(kernel_list& list) noexcept {
    list.add(neon_kernels);
}

}  // namespace mean
