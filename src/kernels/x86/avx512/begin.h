// Everything defined from here to end.h is compiled for CPUs with AVX-512 F, BW, DQ, VL, VBMI
// and VBMI2, and AVX2, BMI, BMI2, LZCNT and POPCNT. Included after every header of the
// standard library and of the tool that the set's file needs, so that none of them is
// compiled so.
#if defined(__clang__)
#pragma clang attribute push(                                                                      \
    __attribute__((target(                                                                         \
        "avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,lzcnt,popcnt"))), \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target( \
    "avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,lzcnt,popcnt")
#endif
