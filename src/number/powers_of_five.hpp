// Decimal scaling for any exponent: the double nearest to w × 10^q from a 128-bit
// approximation of 5^q, for the exponents beyond the exact one-operation and 64-bit ways.
#pragma once

#include <cstdint>

namespace mean {

// The correctly rounded w × 10^q in `value`, for 0 < w < 2^64, when the result is a normal
// double. False when it is not (zero, subnormal, infinite or too near one of them), or in the
// rare case where 128 bits of 5^q do not settle the rounding: then the general reader decides.
bool scale_by_powers_of_five(std::uint64_t w, std::int64_t q, double& value) noexcept;

}  // namespace mean
