#include "kernels.hpp"

#include <cpuid.h>

#include <array>

namespace mean {

namespace {

struct runnable {
    std::array<const kernel_set*, 3> sets{};
    std::size_t count = 0;
};

#if MEAN_WIDE_PATHS
// LZCNT, from CPUID leaf 0x80000001 (ECX bit 5), which not every compiler's
// __builtin_cpu_supports knows by name.
bool has_lzcnt() noexcept {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    return __get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0 && (ecx & (1u << 5)) != 0;
}
#endif

runnable find_runnable() noexcept {
    runnable found;
    found.sets[found.count++] = &baseline_kernels;
#if MEAN_WIDE_PATHS
    __builtin_cpu_init();
    // The CPU's features as the C runtime reads them, the operating system's support for the
    // wider registers included.
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
                      has_lzcnt();
    if (avx2) found.sets[found.count++] = &avx2_kernels;
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2")) {
        found.sets[found.count++] = &avx512_kernels;
    }
#endif
    return found;
}

const runnable& runnable_sets() noexcept {
    static const runnable found = find_runnable();
    return found;
}

}  // namespace

std::span<const kernel_set* const> runnable_kernels() {
    const runnable& found = runnable_sets();
    return {found.sets.data(), found.count};
}

const kernel_set& chosen_kernels() {
    const runnable& found = runnable_sets();
    return *found.sets[found.count - 1];
}

}  // namespace mean
