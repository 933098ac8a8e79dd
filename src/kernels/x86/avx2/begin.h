// Everything defined from here to end.h is compiled for CPUs with AVX2, BMI, BMI2, LZCNT and
// POPCNT (every CPU with AVX2 has the others). Included after every header of the standard
// library and of the tool that the set's file needs, so that none of them is compiled so.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,bmi2,lzcnt,popcnt"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2,lzcnt,popcnt")
#endif
