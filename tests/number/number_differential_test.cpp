// The number reader against strtod on about a million generated texts: whatever the reader
// accepts must read to strtod's bits and length and end at white space or at the end, and every
// number strtod reads whole (without "nan(...)") must be accepted. Every kernel set's reader
// must read each text as the scalar reader does.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sys/mman.h>
#include <unistd.h>

#include "kernels/kernels.hpp"
#include "number/number.hpp"
#include "number/space.hpp"

namespace {

using Rng = std::mt19937_64;
constexpr std::uint64_t kUntouched = 0x7FF4DEADBEEF0001;  // a NaN that no text reads to
constexpr int kMaxFailures = 10;

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

std::uint64_t below(Rng& rng, std::uint64_t n) {
    return rng() % n;
}

std::string format(const char* pattern, auto... args) {
    char buffer[1200];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

// The bytes in hex; of a text over 1000 bytes, the first 400 and the last 100.
std::string describe(std::string_view text) {
    std::string out = "text of " + std::to_string(text.size()) + " bytes:";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.size() > 1000 && i == 400) {
            out += " ...";
            i = text.size() - 100;
        }
        out += format(" %02x", static_cast<unsigned char>(text[i]));
    }
    return out;
}

// A copy of the text that ends where a page that cannot be read begins: reading past it crashes.
const char* guarded(const std::string& text) {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    static constexpr std::size_t room = std::size_t{1} << 22;
    static char* const region = [] {
        void* p =
            mmap(nullptr, room + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED || mprotect(static_cast<char*>(p) + room, page, PROT_NONE) != 0)
            throw std::runtime_error("no guarded memory");
        return static_cast<char*>(p);
    }();
    if (text.size() > room) throw std::length_error("text too long to guard");
    char* const first = region + room - text.size();
    std::memcpy(first, text.data(), text.size());
    return first;
}

// Runs the reader and strtod on texts and records every disagreement as a test failure.
class Differential {
  public:
    // `number` says that the generator made a whole number, which strtod must read whole.
    void check(const std::string& text, bool number = false) {
        ++checked_;
        const std::size_t n = text.size();
        const char* const first = guarded(text);
        double value = std::bit_cast<double>(kUntouched);
        const char* const end = mean::parse_number(first, first + n, value);

        char* strtod_end = nullptr;
        const double expected = std::strtod(text.c_str(), &strtod_end);
        const auto length = static_cast<std::size_t>(strtod_end - text.c_str());
        const bool whole = length > 0 && (length == n || mean::is_space(text[length]));
        const std::string results =
            format(" reader: %td bytes, bits %016llx; strtod: %zu bytes, bits %016llx; ",
                   end - first, static_cast<unsigned long long>(bits(value)), length,
                   static_cast<unsigned long long>(bits(expected)));
        if (number && !whole) fail("generated number not read whole by strtod;" + results, text);
        if (end == first) {
            if (bits(value) != kUntouched) fail("refused but changed the value;" + results, text);
            if (whole && !mean::is_space(text[0]) && text.find('(') == std::string::npos)
                fail("refused a number strtod reads whole;" + results, text);
        } else if (end < first || end > first + n) {
            fail("returned a pointer outside the text;" + results, text);
        } else {
            const auto read = static_cast<std::size_t>(end - first);
            if (read != length || bits(value) != bits(expected))
                fail("accepted with another length or value;" + results, text);
            else if (read < n && !mean::is_space(text[read]))
                fail("accepted a number not followed by white space;" + results, text);
        }
        // Each kernel set's reader, with the slack it may read around the text, gives the
        // same as the scalar reader, but refuses a number longer than the pass reads.
        const bool too_long = static_cast<std::size_t>(end - first) > mean::max_number_length;
        const std::ptrdiff_t kernel_length = too_long ? 0 : end - first;
        const std::uint64_t kernel_bits = too_long ? kUntouched : bits(value);
        padded_.assign(64, '7');
        padded_ += text;
        padded_ += ' ';
        padded_.append(64, '7');
        const char* const copy = padded_.data() + 64;
        for (const mean::kernel_set* kernels : mean::runnable_kernels()) {
            double kernel_value = std::bit_cast<double>(kUntouched);
            const char* const kernel_end = kernels->read_number(copy, copy + n, kernel_value);
            if (kernel_end - copy != kernel_length || bits(kernel_value) != kernel_bits) {
                fail(std::string(kernels->name) + " kernels read it otherwise;" + results, text);
            }
        }
    }

    bool done() const { return failures_ >= kMaxFailures; }
    long checked() const { return checked_; }

  private:
    void fail(const std::string& why, const std::string& text) {
        if (++failures_ <= kMaxFailures) ADD_FAILURE() << why << describe(text);
    }

    int failures_ = 0;
    long checked_ = 0;
    std::string padded_;
};

std::string with_sign(Rng& rng, std::string text) {
    const auto pick = below(rng, 4);
    if (pick == 0 && text[0] != '-') return "+" + text;
    if (pick == 1 && text[0] != '-') return "-" + text;
    return text;
}

// A double from random bits: any exponent, ordinary magnitudes or subnormals.
double random_double(Rng& rng) {
    std::uint64_t b = rng();
    const auto kind = below(rng, 4);
    if (kind == 0) b = (b & 0x800FFFFFFFFFFFFF) | ((1023 - 70 + below(rng, 141)) << 52);
    if (kind == 1) b = (b & 0x8000000000000000) | (b & 0x000FFFFFFFFFFFFF) >> below(rng, 53);
    return std::bit_cast<double>(b);
}

// Printed with %.17g, %.Ng, %a, %e, %.Nf and their capitals (a negative precision is omitted).
std::string printed_double(Rng& rng) {
    const int n = static_cast<int>(below(rng, 17)) + 1;
    const struct {
        const char* pattern;
        int precision;
    } ways[] = {
        {"%.*g", 17}, {"%.*g", n},     {"%.*a", -1}, {"%.*A", -1},
        {"%.*e", -1}, {"%.*E", n + 3}, {"%.*G", n},  {"%.*f", static_cast<int>(below(rng, 40))}};
    const auto& way = ways[below(rng, 8)];
    return with_sign(rng, format(way.pattern, way.precision, random_double(rng)));
}

// 1 to 800 digits, uniform or in runs of zeros and nines, with a point and an exponent.
std::string digit_string(Rng& rng) {
    const std::uint64_t sizes[] = {8, 20, 40, 800};
    const auto count = 1 + below(rng, sizes[below(rng, 4)]);
    const auto style = below(rng, 4);
    std::string text;
    for (std::uint64_t i = 0; i < count; ++i) {
        const bool run = style != 0 && i > 0 && below(rng, 8) != 0;
        text += run ? "0099"[style] : static_cast<char>('0' + below(rng, 10));
    }
    auto point = count;
    if (below(rng, 3) != 0) {
        point = below(rng, count + 1);
        text = text.substr(0, point) + "." + text.substr(point);
    }
    std::int64_t e;
    switch (below(rng, 5)) {
        case 0:
            return with_sign(rng, text);
        case 1:
            e = static_cast<std::int64_t>(below(rng, 61)) - 30;
            break;
        case 2: {  // the value lands near overflow, the subnormals or the exact powers of ten
            const int targets[] = {308, 309, -307, -308, -323, -324, -325, 22, 23, -22, 19};
            e = targets[below(rng, 11)] - static_cast<std::int64_t>(point);
            e += static_cast<std::int64_t>(below(rng, 5)) - 2;
            break;
        }
        case 3:
            e = below(rng, 2) != 0 ? 99999999999 : -99999999999;
            break;
        default:
            e = static_cast<std::int64_t>(below(rng, 2000)) - 1000;
            break;
    }
    // The random choices one per statement, so that every compiler makes the same texts.
    text += "eE"[below(rng, 2)];
    text += e < 0 ? "-" : (below(rng, 2) != 0 ? "+" : "");
    if (below(rng, 4) == 0) text += "000000000000000000000";
    text += std::to_string(e < 0 ? -e : e);
    return with_sign(rng, text);
}

// A double near overflow, the subnormals, the least normal or a power of two; itself, or the
// exact midpoint to the next double above it (or a long double step off that midpoint).
std::string boundary(Rng& rng) {
    constexpr double max = std::numeric_limits<double>::max();
    const double bases[] = {max, 0.0,  std::numeric_limits<double>::min(),
                            1.0, 1e22, 9007199254740992.0};
    double d = bases[below(rng, 6)];
    if (below(rng, 3) == 0) d = std::ldexp(1.0, static_cast<int>(below(rng, 2098)) - 1074);
    for (auto steps = below(rng, 4); steps > 0; --steps)
        d = std::nextafter(d, below(rng, 2) != 0 ? 0.0 : max);
    if (below(rng, 2) != 0) d = -d;
    if (below(rng, 4) == 0) return format("%.*g", static_cast<int>(below(rng, 25)) + 1, d);

    const long double low = d;
    const long double high = std::fabs(d) == max ? std::copysign(std::ldexp(1.0L, 1024), d)
                                                 : std::nextafter(d, std::copysign(max, d));
    long double mid = (low + high) / 2;  // exact: 54 significant bits
    const auto off = below(rng, 4);
    if (off == 1) mid = std::nextafter(mid, 0.0L);
    if (off == 2) mid = std::nextafter(mid, 2 * mid);
    std::string text = format("%.770Le", mid);  // all digits of the exact value
    const auto e = text.find('e');
    const auto last = text.find_last_not_of('0', e - 1);
    if (below(rng, 4) != 0) text.erase(last + 1, e - last - 1);
    if (off == 3) {  // just below or just above the midpoint, in its decimal digits
        const std::string tail = below(rng, 2) != 0 ? std::string(1 + below(rng, 30), '0') + "1"
                                                    : std::string(1 + below(rng, 30), '9');
        if (tail.back() == '9') --text[last];
        text.insert(last + 1, tail);
    }
    return text;
}

std::string hex_constant(Rng& rng) {
    const char* digits = below(rng, 2) != 0 ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string text = below(rng, 2) != 0 ? "0x" : "0X";
    const auto whole = below(rng, 4);
    for (std::uint64_t i = 0; i < whole; ++i)
        text += digits[below(rng, 16)];
    if (whole == 0 || below(rng, 4) != 0) {
        text += '.';
        const char fill = below(rng, 3) == 0 ? "0f"[below(rng, 2)] : '\0';
        for (auto n = (whole == 0) + below(rng, 40); n > 0; --n)
            text += fill != 0 && below(rng, 8) != 0 ? fill : digits[below(rng, 16)];
    }
    if (below(rng, 6) != 0) {
        const std::int64_t ranges[][2] = {{-1140, -1000}, {1000, 1040}, {-20, 20}};
        const auto* range = ranges[below(rng, 3)];
        auto e = range[0] + static_cast<std::int64_t>(below(rng, range[1] - range[0] + 1));
        if (below(rng, 20) == 0) e = e < 0 ? -99999999999 : 99999999999;
        text += "pP"[below(rng, 2)];
        text += e >= 0 && below(rng, 2) != 0 ? "+" : "";
        text += std::to_string(e);
    }
    return with_sign(rng, text);
}

std::string word(Rng& rng) {
    const char* words[] = {"inf", "infinity", "nan"};
    std::string text = words[below(rng, 3)];
    for (char& c : text)
        if (below(rng, 2) != 0) c = static_cast<char>(c - 'a' + 'A');
    return with_sign(rng, text);
}

// Random bytes inserted, replaced or removed, or the text cut short.
std::string mutated(Rng& rng, std::string text) {
    static constexpr char bytes[] = "0123456789.eEpPxX+-() \t\n\v\f\rnaifNAIF,";
    for (auto n = 1 + below(rng, 3); n > 0; --n) {
        auto c = static_cast<char>(below(rng, 2) != 0 ? bytes[below(rng, sizeof bytes)] : rng());
        const auto at = below(rng, text.size() + 1);
        const auto op = below(rng, 4);
        if (op == 0) text.insert(at, 1, c);
        if (op == 1) at < text.size() ? void(text[at] = c) : text.push_back(c);
        if (op == 2) text.erase(at, 1);
        if (op == 3) text.resize(at);
    }
    return text;
}

// Half the time, white space and up to 47 more bytes after the number: a reader may take
// another way through a number with many bytes after it.
std::string with_tail(Rng& rng, std::string text) {
    if (below(rng, 2) == 0) return text;
    text += " \t\n\v\f\r"[below(rng, 6)];
    for (auto n = below(rng, 48); n > 0; --n)
        text += "0123456789 .-e"[below(rng, 14)];
    return text;
}

// Checks `count` generated numbers.
void run(Differential& differential, Rng& rng, long count, std::string (*generate)(Rng&)) {
    for (long i = 0; i < count && !differential.done(); ++i)
        differential.check(with_tail(rng, generate(rng)), true);
    std::printf("%ld texts checked\n", differential.checked());
}

TEST(NumberDifferential, PrintedDoubles) {
    Differential differential;
    Rng rng(0x6D65616E00000001);
    run(differential, rng, 400000, printed_double);
}

TEST(NumberDifferential, DigitStrings) {
    Differential differential;
    for (const char* text : {"0", "00000", "0.", ".0", "1e99999999999", "1e-99999999999",
                             "0e99999999999", "123456789012345678901234567890", "9007199254740993",
                             "0.000000000000000000000000000000000000001e30"})
        differential.check(text, true);
    Rng rng(0x6D65616E00000002);
    run(differential, rng, 200000, digit_string);
}

// About a million zeros after the point, then an exponent of seven or eight digits.
TEST(NumberDifferential, MillionDigitFractions) {
    Differential differential;
    for (const std::size_t zeros : {999977, 999999, 1000021})
        for (const char* exponent : {"e10000000", "e99999999", "e-10000000", "e1000005"})
            differential.check("0." + std::string(zeros, '0') + "1" + exponent, true);
}

TEST(NumberDifferential, Boundaries) {
    Differential differential;
    for (const char* text :
         {"1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
          "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649"
          "017977587207096330286416692887910946555547851940402630657488671505820681908902000708383"
          "676273854845817711531764475730270069855571366959622842914819860834936475292719074168444"
          "365510704342711559699508093042880177904174497792",
          "4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
          "2.2250738585072011e-308", "2.2250738585072012e-308", "2.2250738585072014e-308"})
        differential.check(text, true);
    Rng rng(0x6D65616E00000003);
    run(differential, rng, 60000, boundary);
}

TEST(NumberDifferential, HexConstants) {
    Differential differential;
    for (const char* text : {"0x1.fffffffffffff8p1023", "0x1.fffffffffffff7ffffffffffffffffp1023",
                             "0x1.000000000000000000000000000001p-1074", "0x.8p-1074", "0x0p0",
                             "0X1P-1075", "0x1.00000000000008p-1022"})
        differential.check(text, true);
    Rng rng(0x6D65616E00000004);
    run(differential, rng, 150000, hex_constant);
}

TEST(NumberDifferential, Words) {
    Differential differential;
    for (const std::string base : {"inf", "infinity", "nan"})
        for (unsigned upper = 0; upper < 1u << base.size(); ++upper) {
            std::string text = base;
            for (std::size_t i = 0; i < text.size(); ++i)
                if ((upper >> i & 1) != 0) text[i] = static_cast<char>(text[i] - 'a' + 'A');
            for (const char* sign : {"", "+", "-"})
                differential.check(sign + text, true);
        }
    Rng rng(0x6D65616E00000005);
    run(differential, rng, 50000, word);
}

TEST(NumberDifferential, Mutations) {
    Differential differential;
    for (const char* text : {"",       "-",       "+",  ".",   "-.",   "e5",       "1e",    "1e+",
                             "1e5x",   "1,5",     "0x", "0x.", "0xp1", "0x1p",     "0x1p+", "nan()",
                             "nan(1)", "infinit", " 1", "++1", "1..2", "0x1.8p1.5"})
        differential.check(text);
    for (const char* text : {"nan()", "nan(123)", "-NaN(abc)", "1e5x", "1,5", "0x", "-", "."}) {
        double value = 0.5;
        EXPECT_EQ(mean::parse_number(text, text + std::strlen(text), value), text) << text;
        EXPECT_EQ(value, 0.5) << text;
    }
    Rng rng(0x6D65616E00000006);
    std::string (*const generators[])(Rng&) = {printed_double, digit_string, hex_constant, word};
    for (long i = 0; i < 300000 && !differential.done(); ++i)
        differential.check(mutated(rng, with_tail(rng, generators[below(rng, 4)](rng))));
    std::printf("%ld texts checked\n", differential.checked());
}

}  // namespace
