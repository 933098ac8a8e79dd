// libFuzzer target for the number reader: on any bytes, a number it accepts must be the one
// strtod reads there, bit for bit and byte for byte, and must end at white space or at the end;
// and a whole number that strtod reads (not "nan(...)") must be accepted.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "number/number.hpp"
#include "number/space.hpp"

namespace {

constexpr std::uint64_t kUntouched = 0x7FF4DEADBEEF0001;  // a NaN that no text reads to

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

[[noreturn]] void disagree(const char* why, std::ptrdiff_t read, double value, std::size_t length,
                           double expected) {
    std::fprintf(stderr, "%s: reader %td bytes, bits %016llx; strtod %zu bytes, bits %016llx\n",
                 why, read, static_cast<unsigned long long>(bits(value)), length,
                 static_cast<unsigned long long>(bits(expected)));
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // libFuzzer's copy of the input has exactly `size` bytes: reading past them is an overflow.
    const char* const first = reinterpret_cast<const char*>(data);
    double value = std::bit_cast<double>(kUntouched);
    const char* const end = mean::parse_number(first, first + size, value);

    const std::string text(first, size);  // strtod needs the NUL after it
    char* strtod_end = nullptr;
    const double expected = std::strtod(text.c_str(), &strtod_end);
    const auto length = static_cast<std::size_t>(strtod_end - text.c_str());

    if (end == first) {
        if (bits(value) != kUntouched)
            disagree("refused but changed the value", 0, value, length, expected);
        // strtod stops at a NUL, so the bytes it read hold none.
        const bool whole = length > 0 && (length == size || mean::is_space(text[length]));
        if (whole && !mean::is_space(text[0]) && std::memchr(text.data(), '(', length) == nullptr)
            disagree("refused a number strtod reads whole", 0, value, length, expected);
        return 0;
    }
    if (end < first || end > first + size)
        disagree("returned a pointer outside the input", end - first, value, length, expected);
    const auto read = static_cast<std::size_t>(end - first);
    if (read != length || bits(value) != bits(expected))
        disagree("accepted with another length or value", end - first, value, length, expected);
    if (read < size && !mean::is_space(text[read]))
        disagree("accepted a number not followed by white space", end - first, value, length,
                 expected);
    return 0;
}
