// The kernel sets of an x86-64 CPU: SSE2 on every one, then AVX2 and AVX-512 where the build
// has them and the CPU and the operating system support them.
#include <cpuid.h>

#include "kernels/runnable.hpp"

namespace mean {
namespace {

#if MEAN_HAVE_AVX2
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

}  // namespace

void add_runnable_kernels(kernel_list& list) noexcept {
    list.add(sse2_kernels);
#if MEAN_HAVE_AVX2
    __builtin_cpu_init();
    // The CPU's features as the C runtime reads them, the operating system's support for the
    // wider registers included.
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
                      has_lzcnt();
    if (avx2) list.add(avx2_kernels);
#if MEAN_HAVE_AVX512
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2")) {
        list.add(avx512_kernels);
    }
#endif
#endif
}

}  // namespace mean
