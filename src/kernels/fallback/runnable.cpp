// The kernel sets of a CPU with no wider set in this build: the portable set alone.
#include "kernels/runnable.hpp"

namespace mean {

void add_runnable_kernels(kernel_list&) noexcept {}

}  // namespace mean
