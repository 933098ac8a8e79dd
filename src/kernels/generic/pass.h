// The mean pass's inner loop, written once for every kernel set. A set's file includes it
// inside its own namespace and target region, after the includes it needs (it has none of its
// own, so that nothing of the standard library is compiled for a wider target), and fills a
// kernel_set with sum_numbers<Ops> and read_number<Ops>, Ops being the type of its operations.
// What Ops must give, and what it may, is the concepts below: the pass takes an optional way
// of reading only where the set has it.

// The operations every set gives, as static functions of Ops:
//   space_mask(p)              bit i set when p[i] is white space, for i from 0 to 63
//   bit_count(bits)            the number of bits set
//   append_positions(out, chunk, bits)
//        writes chunk + i for each bit i set in `bits` to out, in order, and returns how many;
//        `out` has room for 64 more than are set
//   scan_full(q, number)       the set's scanner of the common shapes of a decimal: fills
//        `number` and says what it read, or returns scanned::none and leaves the text to the
//        scalar scanner
//   scan_plain(q, end, number) the same for the plainest of those shapes, given the number's
//        end, its first white space; faster for them where it differs
// Both scanners may read 32 bytes before q and 64 after it.
template <class Ops>
concept kernel_operations = requires(const char* p, const char** out, std::uint64_t bits,
                                     decimal& number) {
    { Ops::space_mask(p) } -> std::same_as<std::uint64_t>;
    { Ops::bit_count(bits) } -> std::same_as<int>;
    { Ops::append_positions(out, p, bits) } -> std::same_as<int>;
    { Ops::scan_full(p, number) } -> std::same_as<scanned>;
    { Ops::scan_plain(p, p, number) } -> std::same_as<scanned>;
};

// A set that reads short numbers eight at a time: Ops::read_eight<exponents>(at, ends, values)
// reads the eight numbers [at[i], ends[i]) into values[i] where it can, all at once, and
// returns a bit i for each it read and a bit 8 + i for each of those with an exponent; with
// `exponents`, numbers with exponents are read too. It may read 16 bytes before each end.
template <class Ops>
concept reads_groups = requires(const char* const* at, double* values) {
    { Ops::template read_eight<false>(at, at, values) } -> std::same_as<unsigned>;
    { Ops::template read_eight<true>(at, at, values) } -> std::same_as<unsigned>;
};

// A set whose group reader reads numbers of the commonest shape with an exponent by its plain
// form: Ops::read_eight_tails(at, ends, values), where each of the eight numbers [at[i],
// ends[i]) ends in e or E, a sign and two digits (two_digit_exponent_of), reads their mantissas
// of up to 15 bytes as read_eight<false> reads plain numbers, each times 10^exponent, and
// returns the bits as read_eight does, every number read having an exponent; where one of
// them does not end so, it returns tails_refused and reads nothing. (Not 16 bytes: the plain
// reader rounds 16 digits without a point to a double once, and the exponent would round
// again; 9007199254740993e+01 is not 9007199254740992 × 10 rounded.)
template <class Ops>
concept reads_tails = requires(const char* const* at, double* values) {
    { Ops::read_eight_tails(at, at, values) } -> std::same_as<unsigned>;
};

// How much of a batch, in eighths, the group reader must read for the pass to read the next
// batch in groups, and how much of a batch read otherwise must be short for it to start: half,
// or in the plain mode Ops::plain_group_eighths where the set gives it. A set whose group
// reader reads integers faster than its scan_plain does, but other plain numbers no faster,
// asks for nearly all, for where the group reader leaves some the groups only cost: a number
// that it leaves is read twice.
template <class Ops>
constexpr int group_eighths(bool exponents) noexcept {
    if constexpr (requires { Ops::plain_group_eighths; }) {
        return exponents ? 4 : Ops::plain_group_eighths;
    } else {
        return 4;
    }
}

// A set that scans plain numbers several at a time, and mantissas before the exponent %e
// writes: Ops::scan_plain_pairs<pairs, tails>(index, at, ends, numbers, shapes, values,
// with_exponents) is scan_plain for the numbers index[0] to index[2 × pairs - 1] of at and
// ends, pairs being 2 or 4, and with `tails` scan_plain of the mantissa of one that ends in e
// or E, a sign and two digits, with the exponent added, into numbers and shapes, and, where it
// converts them too, into values as scanned::converted; it returns how many it read, and in
// with_exponents how many of those had exponents.
template <class Ops>
concept scans_pairs = requires(const int* index, const char* const* at, decimal* numbers,
                               scanned* shapes, double* values, int& with_exponents) {
    {
        Ops::template scan_plain_pairs<2, true>(index, at, at, numbers, shapes, values,
                                                with_exponents)
        } -> std::same_as<int>;
    {
        Ops::template scan_plain_pairs<4, false>(index, at, at, numbers, shapes, values,
                                                 with_exponents)
        } -> std::same_as<int>;
};

// A set that reads the exponents of e, a sign and two digits that end eight numbers at once:
// Ops::eight_tails(at, ends, exponents) returns a bit i for each of the numbers [at[i],
// ends[i]) whose exponent two_digit_exponent_of reads, with its value in exponents[i].
template <class Ops>
concept reads_eight_tails = requires(const char* const* at, std::int32_t* exponents) {
    { Ops::eight_tails(at, at, exponents) } -> std::same_as<unsigned>;
};

// A set with a shorter way for eight numbers of the commonest plain shape:
// Ops::read_eight_plain<tails>(at, ends, values, with_exponents) reads the eight numbers
// [at[i], ends[i]) into values[i], as scan_plain and the conversion after it would, and returns
// true, where it can read them all so, counting those with exponents; otherwise it returns
// false and reads nothing. With `tails`, which a set that scans pairs gives, it reads the
// mantissas before exponents as the pairs scanner does.
template <class Ops>
concept reads_eight_plain = requires(const char* const* at, double* values, int& with_exponents) {
    { Ops::template read_eight_plain<false>(at, at, values, with_exponents) } -> std::same_as<bool>;
};

// A set that converts the records of plain numbers eight at a time:
// Ops::convert_eight(list, numbers, shapes, values) converts the plain numbers list[0] to
// list[7] of numbers into values, each as scale_down would, and marks those it converted
// scanned::converted in shapes; it leaves the others as they are, and returns the mask of those
// it converted, bit j for list[j].
template <class Ops>
concept converts_eight = requires(const int* list, const decimal* numbers, scanned* shapes,
                                  double* values) {
    { Ops::convert_eight(list, numbers, shapes, values) } -> std::same_as<unsigned>;
};

// Whether the set's convert_eight pays only where many numbers are long, with digits beyond
// 2^53, which scale_down converts with more than one division (Ops::converts_where_long): it is
// then used only in batches that list short numbers apart (reading_mode::split, where a
// quarter are long); elsewhere the plain numbers are converted one at a time.
template <class Ops>
constexpr bool converts_where_long() noexcept {
    if constexpr (requires { Ops::converts_where_long; }) {
        return Ops::converts_where_long;
    } else {
        return false;
    }
}

// The rounding the pass converts under: Ops::rounding where the set gives it, a type whose
// object sum_numbers holds while it reads and scale_down takes, else default_rounding.
template <class Ops>
struct pass_rounding {
    using type = default_rounding;
};
template <class Ops>
requires requires {
    typename Ops::rounding;
}
struct pass_rounding<Ops> {
    using type = typename Ops::rounding;
};
template <class Ops>
using rounding_of = typename pass_rounding<Ops>::type;

// A set that reads numbers in the form %e writes with a mantissa of many digits by a scanner
// of that form alone (Ops::scientific): its digit_mask(p), bit i for a digit at p[i], i < 32,
// and its mantissa_value(end, point_lane, count, value), which scan_plain uses, are all it
// takes (read_scientific).
template <class Ops>
concept reads_scientific = requires(const char* p, int lane, std::uint64_t& value) {
    requires Ops::scientific;
    { Ops::digit_mask(p) } -> std::same_as<std::uint32_t>;
    { Ops::mantissa_value(p, lane, lane, value) } -> std::same_as<joined>;
};

// A set that reads eight numbers in that form at once: Ops::read_eight_scientific(at, ends,
// values) reads those of the eight numbers [at[i], ends[i]) that scan_scientific reads into
// values[i], as scale converts them, and returns a bit i for each; it may leave any.
template <class Ops>
concept reads_eight_scientific = requires(const char* const* at, double* values) {
    { Ops::read_eight_scientific(at, at, values) } -> std::same_as<unsigned>;
};

// The slow way for a number that scan_full leaves: the scalar scanner, then the general
// conversion. Returns the number's end, or q when the text is refused. Kept out of the pass's
// loop, so that the loop stays small.
[[gnu::noinline]] inline const char* read_scalar(const char* q, const char* whole,
                                                 double& value) noexcept {
    const scanned_number number = scan_number(q, whole);
    if (number.kind == number_kind::none ||
        static_cast<std::size_t>(number.end - q) > max_number_length) {
        return q;
    }
    value = to_double(number, q);
    return number.end;
}

// The words of the grammar, inf, infinity and nan in any case with an optional sign, as the
// text [q, end) and into `value` as the scalar reader reads them; false for any other text.
// Data with words among its numbers leaves them to this, not to the scalar reader.
[[gnu::always_inline]] inline bool read_word(const char* q, const char* end,
                                             double& value) noexcept {
    const char* const word = q + (q[0] == '-' || q[0] == '+');
    const auto matches = [&](const char* lower_case, std::ptrdiff_t length) {
        if (end - word != length) return false;
        for (std::ptrdiff_t i = 0; i < length; ++i) {
            if ((word[i] | 0x20) != lower_case[i]) return false;
        }
        return true;
    };
    const bool inf = matches("inf", 3) || matches("infinity", 8);
    if (!inf && !matches("nan", 3)) return false;
    const scanned_number number{
        end, inf ? number_kind::infinity : number_kind::nan, {0, 0, q[0] == '-', false}};
    value = to_double(number, q);
    return true;
}

// The end of the number at q, which a vector scanner has read: its first white space.
inline const char* end_of(const char* q) noexcept {
    while (!is_space(*q))
        ++q;
    return q;
}

// The double of a number that a vector scanner read, [q, end), beyond what one IEEE operation
// or the exact scaling does: the general conversion.
[[gnu::noinline]] inline double convert_general(const decimal& number, const char* q,
                                                const char* end) noexcept {
    return to_double({end, number_kind::decimal, number}, q);
}

// The double of a number that a vector scanner read, [q, end).
[[gnu::always_inline]] inline double convert_plain(const decimal& number, const char* q,
                                                   const char* end) noexcept {
    if ((!number.truncated) & (static_cast<std::uint32_t>(number.exponent + max_exact_exponent) <=
                               2 * max_exact_exponent)) [[likely]] {
        // Zero needs no case of its own: 0 × 10^e is 0, with the sign.
        return with_sign(scale(number.digits, number.exponent), number.negative);
    }
    return convert_general(number, q, end);
}

// Whether scan_plain reads the mantissa of a number with an exponent, [q, e), as a plain number
// of its own: Ops::mantissas_plain where the set gives it, else true. A set whose scan_plain is
// its scan_full says false.
template <class Ops>
constexpr bool mantissas_plain() noexcept {
    if constexpr (requires { Ops::mantissas_plain; }) {
        return Ops::mantissas_plain;
    } else {
        return true;
    }
}

// scan_full for the number [q, end), by a shorter way for the shape %e writes: a mantissa that
// scan_plain reads, then e or E, an optional sign and 1 to 3 digits. The e is found among the
// last eight bytes, read as one word, where an exponent of 1 to 3 digits puts it: bytes 3 to
// 6, the last of them that is e or E (a byte is 0 after the xor exactly when it is one, and the
// test for 0 carries nothing from byte to byte). The mantissa's scan is scan_plain's, and
// costs far less than scan_full's reading of the whole, the more the longer the mantissa.
template <class Ops>
[[gnu::always_inline]] inline scanned scan_number_of_mode(const char* q, const char* end,
                                                          decimal& number) noexcept {
    if constexpr (mantissas_plain<Ops>()) {
        // First the exponent of e, a sign and two digits. Its test decides only a branch, which
        // such data makes go one way, so the mantissa's scan starts from the number's end alone
        // and does not wait for a search for the e, as it does below; the mantissa is read the
        // same either way.
        const two_digit_exponent tail = two_digit_exponent_of(q, end);
        if (tail.wrong == 0) {
            if (Ops::scan_plain(q, end - 4, number) == scanned::none)
                return Ops::scan_full(q, number);
            number.exponent += tail.value;
            return scanned::exponent;
        }
        const std::uint64_t last = load_le64(end - 8);  // end[-1] in the top byte
        const std::uint64_t t = (last | 0x2020202020202020) ^ 0x6565656565656565;
        const std::uint64_t es =
            ~(((t & 0x7F7F7F7F7F7F7F7F) + 0x7F7F7F7F7F7F7F7F) | t) & 0x0080808080000000;
        if (es != 0) {
            const int at = (63 - std::countl_zero(es)) / 8;
            const char* const e = end - 8 + at;
            const bool minus = e[1] == '-';
            const int count = 7 - at - (minus | (e[1] == '+'));  // the exponent's digits
            // The digits are the word's top `count` bytes; the others are made '0's. (The
            // shifts are kept below 64 for any count; only 1 to 3 is read.)
            const std::uint64_t digits =
                (last >> ((8 * (8 - count)) & 63)) | (0x3030303030303030 << ((8 * count) & 63));
            if ((static_cast<unsigned>(count - 1) <= 2) & (e > q) && all_digits(digits) &&
                Ops::scan_plain(q, e, number) != scanned::none) {
                const auto value =
                    static_cast<std::int32_t>(leading_digits_value(end - count, count));
                number.exponent += (value ^ -static_cast<std::int32_t>(minus)) + minus;
                return scanned::exponent;
            }
        }
    }
    return Ops::scan_full(q, number);
}

// The number [q, end) that scan_plain left: scan_full, or else read_scalar. Returns the
// number's end, or q when the text is refused; `full_read` says whether scan_full read it.
template <class Ops>
[[gnu::noinline]] const char* read_other(const char* q, const char* end, const char* whole,
                                         double& value, bool& full_read) noexcept {
    decimal number;
    full_read = scan_number_of_mode<Ops>(q, end, number) != scanned::none;
    if (full_read) {
        value = convert_plain(number, q, end);
        return end;
    }
    return read_scalar(q, whole, value);
}

// Numbers are read in batches, one stage at a time over the batch: find the starts, read in
// groups, scan the texts, convert; and the values are added while the next batch is found.
// Each stage is a short loop whose steps do not wait on each other, so the processor overlaps
// many numbers, and a branch that goes the other way for one number does not throw away the
// work of the others. The additions alone wait on each other, which is why they run beside
// the finding of the next batch.
//
// A batch holds 64 numbers or more (the finder stops after the chunk that reaches the count),
// or Ops::batch_size where the set gives it. Every batch costs some steps whatever its length:
// the calls of the stages kept out of line, the last turn of each stage's loop, the mode's
// counts. A set that reads a batch fast takes longer batches, so that those steps cost less a
// number.
template <class Ops>
constexpr int batch_size() noexcept {
    if constexpr (requires { Ops::batch_size; }) {
        return Ops::batch_size;
    } else {
        return 64;
    }
}
constexpr int longest_batch = 256;

// What the stages of one batch hand on: for number i, its text [at[i], ends[i]), its record
// and what the scanner made of it, and its value. Room for a chunk's worth beyond the batch.
struct batch {
    static constexpr int room = longest_batch + 80;
    const char* at[room];
    const char* ends[room];
    decimal numbers[room];
    scanned shapes[room];
    double* values = value_rooms[0];  // one of the two rooms; the other holds the last batch's
    double value_rooms[2][room];
    std::uint8_t ready[room / 8];  // bit i % 8 of ready[i / 8]: number i read in a group
    int rest[room + 8];            // the numbers the groups left, in order
    // The short numbers of a batch that also has long ones, listed apart for the groups: their
    // texts, their places in the batch and their values, and those the groups left.
    const char* short_at[room + 8];
    const char* short_ends[room + 8];
    int short_index[room + 8];
    double short_values[room + 8];
    std::uint8_t short_masks[room / 8 + 1];  // bit i % 8 of short_masks[i / 8]: number i short
    int short_left[room];
};

// Which readers the pass takes for a batch, and the one rule by which it changes them.
//
// `exponents`: scan_plain reads the numbers while they are plain, scan_full from a batch in
// which more numbers, and more than an eighth, suited it better, and back again alike. So data
// of either kind is scanned once, by the scanner made for it, and data of both, or with words
// among it, does not make the pass change its mind at every batch. Of the numbers of a batch,
// `suited` counts those that only the readers of its mode read well, and `other` those that
// suit the other mode better: in the plain mode, those only scan_full read; in the mode for
// exponents, those scan_full read as plain, which scan_plain reads too (it takes no '+'). A
// short plain number that a group reader reads is read alike in either, and counts for
// neither.
//
// `groups`, for the sets that read groups: whether the batch is read eight at a time first,
// while half of the numbers of a batch (or the share group_eighths says) were read so or, when
// it was not, were short; of the batches read singly, one in four is counted so, which is
// soon enough to start again where the data changes, and costs a quarter as much. A set that
// lists short numbers apart starts again where half were short, whatever its share: listed
// apart, the long ones cost the groups nothing.
//
// `pairs`, for the sets that scan pairs: whether the plain mode scans in pairs. The pairs
// scanner pays only where it reads nearly all it is given, for a number it leaves costs its
// share of the pairs' work and the slow way after it: so it scans while it read 7/8 of its
// numbers, and scan_plain alone from a batch in which it did not, until scan_plain reads 7/8
// of a batch's numbers again (plain numbers among many that both leave, such as exponents of
// other forms than %e's, are scanned faster so).
//
// `scientific`, for the sets that read the form %e writes by a scanner of its own: whether
// the mode for exponents reads a batch so first. It does while that scanner reads 7/8 of a
// batch; from a batch in which it did not, one batch in eight is read so, which soon finds
// such data again and costs little where there is none.
//
// `split`, for the sets that list short numbers apart (splits_short): whether the groups read
// a batch's short numbers from a list of their own, which holds no long number that a group
// would only refuse. They do from a batch in which a quarter of the groups' numbers were left,
// or, counted as above, a quarter were long, until one in which fewer than a quarter were
// long. (Where fewer are long, as in shortest round-trip output, listing costs more than the
// groups' lanes it saves: in memory, on the AVX-512 set, such texts were read 6% slower.)
//
// `tails`: whether the plain mode's scanners also take an exponent of e, a sign and two digits
// off a number's end and read the mantissa before it as a plain number, as they do from a
// batch that had numbers for the other mode (which %g writes among plain ones); plain data
// alone pays nothing for it.
struct reading_mode {
    bool exponents = false;
    bool groups = false;
    int unchecked = 0;  // batches read singly since the last whose short numbers were counted
    bool pairs = true;
    bool tails = false;
    bool scientific = true;
    bool split = false;
    int unscientific = 0;  // batches in the mode for exponents read otherwise since the last try
    int suited = 0;
    int other = 0;
    int paired = 0;  // numbers given to the pairs scanner in the batch, and read by it
    int paired_read = 0;
    int single = 0;  // numbers given to scan_plain alone in the batch, and read by it
    int single_read = 0;

    // The mode as the block before left it, where one did.
    void resume(const pass_mode& kept) noexcept {
        if (!kept.begun) return;
        exponents = kept.exponents;
        groups = kept.groups;
        unchecked = kept.unchecked;
        pairs = kept.pairs;
        tails = kept.tails;
        scientific = kept.scientific;
        split = kept.split;
        unscientific = kept.unscientific;
    }
    pass_mode kept() const noexcept {
        return {true, exponents, groups, pairs, tails, scientific, split, unchecked, unscientific};
    }

    void end_batch(int found) noexcept {
        tails = other != 0;
        if (other > found / 8 && other > suited) exponents = !exponents;
        if (paired != 0) {
            pairs = 8 * paired_read >= 7 * paired;
        } else if (single != 0) {
            pairs = 8 * single_read >= 7 * single;
        }
        suited = 0;
        other = 0;
        paired = 0;
        paired_read = 0;
        single = 0;
        single_read = 0;
    }
};

// total + value, and where both are NaNs, the total's. An x86-64 addition gives its first
// operand's NaN then, and a compiler, to which the addition commutes, puts either operand
// first as it likes (one that it loads from memory second), so that a made NaN (inf - inf, its
// sign set) and a NaN of the data would come out of the pass one way or the other as it was
// compiled; on x86-64 the addition is written out, the total first, as a loop of `total +=
// value` compiles. Ops::vex, where the set gives it, says that its code is VEX-encoded, whose
// form of the instruction it takes. Elsewhere the expression as it stands.
template <class Ops>
[[gnu::always_inline]] inline double add_in_order(double total, double value) noexcept {
#if defined(__x86_64__)
    if constexpr (requires { Ops::vex; }) {
        double sum;
        asm("vaddsd %2, %1, %0" : "=x"(sum) : "x"(total), "x"(value));
        return sum;
    } else {
        asm("addsd %1, %0" : "+x"(total) : "x"(value));
        return total;
    }
#else
    return value + total;
#endif
}

// The values of a batch, added to the total in file order, one rounding each, while the next
// batch is found: each addition waits for the one before, but nothing of the finding waits for
// them, so added a few to each chunk found and each group read, they run beside that work
// instead of after it.
template <class Ops>
struct pending_sum {
    double total;
    const double* values = nullptr;
    int count = 0;
    int next = 0;

    // Adds the next four values, while four are left.
    [[gnu::always_inline]] void add_four() noexcept {
        if (next + 4 <= count) {
            for (int i = 0; i < 4; ++i)
                total = add_in_order<Ops>(total, values[next + i]);
            next += 4;
        }
    }
    // Adds the values left.
    [[gnu::always_inline]] void add_rest() noexcept {
        for (; next < count; ++next)
            total = add_in_order<Ops>(total, values[next]);
    }
};

// Finds where numbers start and end, 64 bytes at a time, from the white-space bitmap: they
// start where white space ends and end where it starts again. The last number found may end
// in a chunk not yet read: its start waits for the next batch.
//
// Where numbers are apart by one byte of white space, as one number to a line writes them, each
// start is the byte after the end before it: a chunk in which every start is so has its starts
// counted, not listed, and they are made from the ends, several at a time, where the next
// chunk is not so or the batch ends. Not for a set whose append_positions lists a chunk's
// places in a few vector steps whatever their number (Ops::lists_by_compressing): there the
// test costs more than it saves.
template <class Ops>
constexpr bool counts_starts() noexcept {
    if constexpr (requires { Ops::lists_by_compressing; }) {
        return !Ops::lists_by_compressing;
    } else {
        return true;
    }
}

struct number_finder {
    const char* chunk;
    const char* whole;
    std::uint64_t space_before = 1;  // the first byte starts a number, if anything
    std::uint64_t end_before = 0;    // the last byte of the chunk before ended a number
    int started = 0;                 // starts in `at`, one more than the ends when one waits
    int carried = 0;                 // numbers found in the last batch and left for this one

    // Lists the next batch's numbers in at and ends, after those the last batch left, adding the
    // last batch's values as it goes; returns how many ended, those left included.
    template <class Ops>
    [[gnu::always_inline]] int find(const char** at, const char** ends,
                                    pending_sum<Ops>& pending) noexcept {
        int found = carried;
        int counted = -1;  // the first start counted and not yet listed, if any
        for (; found < batch_size<Ops>() && chunk < whole; chunk += 64) {
            pending.add_four();
            const auto left = static_cast<std::size_t>(whole - chunk);
            std::uint64_t spaces = Ops::space_mask(chunk);
            if (left < 64) spaces |= ~std::uint64_t{0} << left;
            const std::uint64_t after_space = (spaces << 1) | space_before;
            const std::uint64_t starts = ~spaces & after_space;
            const std::uint64_t number_ends = spaces & ~after_space;
            // (The first start of a batch follows an end of the batch before, not listed.)
            if (counts_starts<Ops>() && starts == ((number_ends << 1) | end_before) &&
                started != 0) {
                if (counted < 0) counted = started;
                started += Ops::bit_count(starts);
            } else {
                if (counted >= 0) list_counted(at, ends, counted);
                counted = -1;
                started += Ops::append_positions(at + started, chunk, starts);
            }
            found += Ops::append_positions(ends + found, chunk, number_ends);
            space_before = spaces >> 63;
            end_before = number_ends >> 63;
        }
        if (counted >= 0) list_counted(at, ends, counted);
        // A number that runs up to `whole` at the end of a chunk ends there.
        if (chunk >= whole && started > found) ends[found++] = whole;
        return found;
    }

    // The starts from `first` on, each the byte after the end before it.
    void list_counted(const char** at, const char* const* ends, int first) const noexcept {
        for (int i = first; i < started; ++i)
            at[i] = ends[i - 1] + 1;
    }

    // After `used` of the `found` numbers are read, those left and the start of a number not
    // yet ended move to the front.
    void keep_waiting(const char** at, const char** ends, int used, int found) noexcept {
        for (int i = used; i < started; ++i)
            at[i - used] = at[i];
        for (int i = used; i < found; ++i)
            ends[i - used] = ends[i];
        started -= used;
        carried = found - used;
    }
};

// Ops::read_eight<true> for eight numbers, or, where each ends in an exponent of e, a sign and
// two digits, Ops::read_eight_tails for them: the plain reader of the mantissas, which does not
// search for the e, and costs less.
template <class Ops>
[[gnu::always_inline]] inline unsigned read_exponent_group(const char* const* at,
                                                           const char* const* ends,
                                                           double* values) noexcept {
    if constexpr (reads_tails<Ops>) {
        const unsigned read = Ops::read_eight_tails(at, ends, values);
        if (read != tails_refused) return read;
    }
    return Ops::template read_eight<true>(at, ends, values);
}

// The groups of a batch, as read_in_groups reads them, in the mode for exponents or not.
// Returns how many it read; `suited` counts those with exponents.
template <class Ops, bool exponents>
[[gnu::always_inline]] inline int read_groups(batch& b, int found, pending_sum<Ops>& outer,
                                              int& suited) noexcept {
    // The sum in a local copy, which the compiler keeps in a register.
    pending_sum<Ops> pending = outer;
    int read = 0;
    for (int grouped = 0; grouped + 8 <= found; grouped += 8) {
        pending.add_four();
        unsigned group;
        if constexpr (exponents) {
            group = read_exponent_group<Ops>(b.at + grouped, b.ends + grouped, b.values + grouped);
            // The group readers of both modes read short plain numbers alike.
            suited += Ops::bit_count(group >> 8);
        } else {
            group = Ops::template read_eight<false>(b.at + grouped, b.ends + grouped,
                                                    b.values + grouped);
        }
        b.ready[grouped / 8] = static_cast<std::uint8_t>(group);
        read += Ops::bit_count(group & 0xFF);
    }
    outer = pending;
    return read;
}

// A set that lists a batch's short numbers apart, eight at a time: Ops::split_short(at, ends,
// count, short_at, short_ends, short_index, long_index, masks) lists, in order, the numbers i
// below count with ends[i] - at[i] <= 16 in short_at, short_ends and short_index, and the
// others' i in long_index, and sets bit n of masks[k] where number 8 k + n is short; it
// returns how many are short, and may write 8 entries past the end of each list.
// Ops::place_short(values, short_values, masks, count) then writes the values of the short
// ones, listed in order in short_values, to their places in values.
template <class Ops>
concept splits_short = requires(const char** at, int* index, std::uint8_t* masks, double* values) {
    { Ops::split_short(at, at, 8, at, at, index, index, masks) } -> std::same_as<int>;
    { Ops::place_short(values, values, masks, 8) } -> std::same_as<void>;
};

// The short numbers of a batch that has long ones too, as read_in_groups reads them: listed
// apart, in order, and read eight at a time, the last group filled up with the last of them
// again; the long ones and the short ones that the groups left go to b.rest, in order. So a
// group holds no long number, which it would only refuse. Returns how many it left. Out of
// line: inlined into read_in_groups, it made that function's reading of integers 10% slower on
// the AVX-512 set, in memory.
template <class Ops, bool exponents>
[[gnu::noinline]] int read_short_ones(batch& b, int found, reading_mode& mode,
                                      pending_sum<Ops>& outer) noexcept {
    pending_sum<Ops> pending = outer;
    const int given = Ops::split_short(b.at, b.ends, found, b.short_at, b.short_ends, b.short_index,
                                       b.rest, b.short_masks);
    int left = found - given;
    mode.split = 4 * left >= found;
    for (int k = given; k % 8 != 0; ++k) {
        b.short_at[k] = b.short_at[given - 1];
        b.short_ends[k] = b.short_ends[given - 1];
    }
    int read = 0;
    int refused = 0;
    for (int g = 0; g < given; g += 8) {
        pending.add_four();
        unsigned group;
        if constexpr (exponents) {
            group = read_exponent_group<Ops>(b.short_at + g, b.short_ends + g, b.short_values + g);
        } else {
            group = Ops::template read_eight<false>(b.short_at + g, b.short_ends + g,
                                                    b.short_values + g);
        }
        const unsigned listed = given - g >= 8 ? 0xFFu : (1u << (given - g)) - 1;
        group &= listed | listed << 8;
        if constexpr (exponents) mode.suited += Ops::bit_count(group >> 8);
        read += Ops::bit_count(group & 0xFF);
        for (unsigned others = ~group & listed; others != 0; others &= others - 1)
            b.short_left[refused++] = b.short_index[g + std::countr_zero(others)];
    }
    outer = pending;
    Ops::place_short(b.values, b.short_values, b.short_masks, found);
    if (refused != 0) {
        // The short ones left among the long ones, in order, merged from the end.
        int to = left + refused;
        int from_long = left - 1;
        for (int k = refused - 1; k >= 0; --k) {
            while (from_long >= 0 && b.rest[from_long] > b.short_left[k])
                b.rest[--to] = b.rest[from_long--];
            b.rest[--to] = b.short_left[k];
        }
        left += refused;
    }
    mode.groups = (2 * given >= found) & (8 * read >= group_eighths<Ops>(mode.exponents) * given);
    return left;
}

// Reads the first `found` numbers of the batch eight at a time where the group reader can, and
// lists those it left in b.rest; returns how many it left. Where some numbers of the batch are
// long, the short ones are listed apart first (read_short_ones). A function of its own, called
// once a batch, so that the loops of the pass around it, which long numbers spend their time
// in, are compiled as if it were not there.
template <class Ops>
[[gnu::noinline]] int read_in_groups(batch& b, int found, reading_mode& mode,
                                     pending_sum<Ops>& pending) noexcept {
    if constexpr (splits_short<Ops>) {
        if (mode.split) {
            return mode.exponents ? read_short_ones<Ops, true>(b, found, mode, pending)
                                  : read_short_ones<Ops, false>(b, found, mode, pending);
        }
    }
    const int grouped = found / 8 * 8;
    const int read = mode.exponents ? read_groups<Ops, true>(b, found, pending, mode.suited)
                                    : read_groups<Ops, false>(b, found, pending, mode.suited);
    // The others, from the bits of the groups' numbers not read.
    int left = 0;
    for (int g = 0; g < grouped; g += 8) {
        for (unsigned others = ~b.ready[g / 8] & 0xFFu; others != 0; others &= others - 1)
            b.rest[left++] = g + std::countr_zero(others);
    }
    for (int i = grouped; i < found; ++i)
        b.rest[left++] = i;
    mode.groups = 8 * read >= group_eighths<Ops>(mode.exponents) * grouped;
    if constexpr (splits_short<Ops>) mode.split = 4 * (grouped - read) >= grouped;
    return left;
}

// The numbers index(j) to index(j + 2 × pairs - 1) by the pairs scanner, as scan_numbers gives
// them, or, where the set has it and all eight are of the commonest shape, by its shorter way;
// returns how many it read, and adds those with exponents to `with_exponents`. (In memory, the
// AVX-512 set's shorter way read %.15g about 40% faster.)
template <class Ops, int pairs, bool tails, class Index>
[[gnu::always_inline]] inline int scan_in_pairs(batch& b, Index index, int j,
                                                int& with_exponents) noexcept {
    int several[2 * pairs];
    for (int n = 0; n < 2 * pairs; ++n)
        several[n] = index(j + n);
    int these = 0;
    if constexpr (pairs == 4 && reads_eight_plain<Ops>) {
        const char* at[8];
        const char* ends[8];
        double values[8];
        for (int n = 0; n < 8; ++n) {
            at[n] = b.at[several[n]];
            ends[n] = b.ends[several[n]];
        }
        if (Ops::template read_eight_plain<tails>(at, ends, values, these)) {
            for (int n = 0; n < 8; ++n) {
                b.values[several[n]] = values[n];
                b.shapes[several[n]] = scanned::converted;
            }
            with_exponents += these;
            return 8;
        }
    }
    const int read = Ops::template scan_plain_pairs<pairs, tails>(several, b.at, b.ends, b.numbers,
                                                                  b.shapes, b.values, these);
    with_exponents += these;
    return read;
}

// The numbers index(0) to index(left - 1) by the pairs scanner, eight or four at a time, as
// many as it takes; returns how many it was given, and counts the mode's votes. Out of line,
// as read_in_groups is: inlined, its many vector and mask values made the code of the pass
// around it worse (out of line, in memory, the AVX-512 set read %.15g about 4% faster, %.6e
// and integers about 2.5%, and the other shapes as fast).
template <class Ops, class Index>
[[gnu::noinline]] int scan_all_in_pairs(batch& b, Index index, int left,
                                        reading_mode& mode) noexcept {
    int j = 0;
    int read = 0;
    int with_exponents = 0;
    for (; j + 8 <= left; j += 8) {
        read += mode.tails ? scan_in_pairs<Ops, 4, true>(b, index, j, with_exponents)
                           : scan_in_pairs<Ops, 4, false>(b, index, j, with_exponents);
    }
    if (j + 4 <= left && (mode.tails || !converts_eight<Ops>)) {
        read += mode.tails ? scan_in_pairs<Ops, 2, true>(b, index, j, with_exponents)
                           : scan_in_pairs<Ops, 2, false>(b, index, j, with_exponents);
        j += 4;
    }
    // Those with exponents vote as scan_full's: for the other mode, if they are many.
    mode.suited += read - with_exponents;
    mode.other += with_exponents;
    mode.paired += j;
    mode.paired_read += read;
    return j;
}

// Whether the plain mode scans the batch in pairs, for a set that scans pairs: while the pairs
// scanner reads nearly all it is given (mode.pairs), and, where the set converts plain numbers
// eight at a time, only among numbers with exponents, whose mantissas it reads and converts
// with the plain numbers around them, or where the set has a shorter way for eight of the
// commonest shape (reads_eight_plain), which reads long plain numbers faster than scan_plain
// and the conversion of its records (in memory, on the AVX-512 set, %.17g about 40% faster,
// %.10f about 45%). Elsewhere scan_plain and the conversion of its records eight at a time
// cost as much or less. Where the set converts plain numbers eight at a time, the few after the
// last eight of a batch without exponents are scanned singly, as are those the groups leave
// among short numbers (on the AVX-512 set, in memory, %.3f was read 7% faster without pairs
// for them).
template <class Ops>
[[gnu::always_inline]] inline bool scans_in_pairs(const reading_mode& mode) noexcept {
    return scans_pairs<Ops> && mode.pairs &&
           (!converts_eight<Ops> || mode.tails || reads_eight_plain<Ops>);
}

// The plain numbers among index(0) to index(left - 1), which scan_plain read, converted eight
// at a time where the set can; they are listed first, without a branch on each, and the last
// eight filled up with the last of them again. Returns whether it converted all `left`, so
// that convert_numbers has nothing to do. Out of line, as read_in_groups is, so that the loops
// of the pass that other data spends its time in are compiled as if it were not there.
template <class Ops, class Index>
[[gnu::noinline]] bool convert_in_eights(batch& b, Index index, int left) noexcept {
    int plain[batch::room];
    int listed = 0;
    int done = 0;  // converted already, by a reader of eight
    for (int j = 0; j < left; ++j) {
        const int i = index(j);
        plain[listed] = i;
        listed += b.shapes[i] == scanned::plain;
        done += b.shapes[i] == scanned::converted;
    }
    if (listed == 0) return done == left;
    for (int k = listed; k % 8 != 0; ++k)
        plain[k] = plain[listed - 1];
    unsigned converted = 0xFF;
    for (int p = 0; p < listed; p += 8)
        converted &= Ops::convert_eight(plain + p, b.numbers, b.shapes, b.values);
    return (listed + done == left) & (converted == 0xFF);
}

// For a set with the shorter way for eight plain numbers but no pairs scanner, in the plain
// mode without exponents, where a batch's short numbers are listed apart or it has none: the
// rest, mostly long plain numbers, which scan_plain and the conversion of its records cost far
// more. The numbers index(0) to index(left - 1) are read eight at a time by that way where it
// reads all eight, the last eight filled up with the last number again, and scanned one at a
// time where it does not, the rest of them too after two such groups (data of other shapes,
// whose groups it would only refuse); those scanned are converted as scan_numbers converts
// them. Counts the mode's votes, and returns true where it converted them all. Out of line, so
// that the loops of the pass that other data spends its time in are compiled as if it were
// not there.
template <class Ops, class Index>
[[gnu::noinline]] bool read_plain_in_eights(batch& b, Index index, int left,
                                            reading_mode& mode) noexcept {
    // The eight from the j-th, number n being index(pick(j + n)); true where all were read.
    const auto read_eight = [&](int j, auto pick) __attribute__((always_inline)) {
        int several[8];
        const char* at[8];
        const char* ends[8];
        double values[8];
        for (int n = 0; n < 8; ++n) {
            several[n] = index(pick(j + n));
            at[n] = b.at[several[n]];
            ends[n] = b.ends[several[n]];
        }
        int with_exponents;
        if (!Ops::template read_eight_plain<false>(at, ends, values, with_exponents)) return false;
        for (int n = 0; n < 8; ++n) {
            b.values[several[n]] = values[n];
            b.shapes[several[n]] = scanned::converted;
        }
        return true;
    };
    int read = 0;
    int scanned_from = left;  // the first of those scanned one at a time after the groups
    int refused = 0;
    int j = 0;
    for (; j + 8 <= left; j += 8) {
        if (read_eight(j, [](int k) { return k; })) {
            read += 8;
            continue;
        }
        for (int n = j; n < j + 8; ++n) {
            const int i = index(n);
            b.shapes[i] = Ops::scan_plain(b.at[i], b.ends[i], b.numbers[i]);
            read += b.shapes[i] == scanned::plain;
        }
        if (++refused == 2) {
            scanned_from = j + 8;
            break;
        }
    }
    if (refused < 2 && j < left) {
        if (read_eight(j, [left](int k) { return k < left ? k : left - 1; })) {
            read += left - j;
        } else {
            scanned_from = j;
        }
    }
    for (int n = scanned_from; n < left; ++n) {
        const int i = index(n);
        b.shapes[i] = Ops::scan_plain(b.at[i], b.ends[i], b.numbers[i]);
        read += b.shapes[i] == scanned::plain;
    }
    mode.suited += read;
    if (refused == 0 && scanned_from == left) return true;
    if constexpr (converts_eight<Ops>) {
        if (read >= 8) return convert_in_eights<Ops>(b, index, left);
    }
    return false;
}

// Scans the `left` numbers index(0) to index(left - 1) with the scanners of the mode, in pairs
// where the set can, else one at a time, counting the mode's votes. Returns true where it
// converted them all too (convert_in_eights).
template <class Ops, class Index>
[[gnu::always_inline]] inline bool scan_numbers(batch& b, Index index, int left,
                                                reading_mode& mode) noexcept {
    if (mode.exponents) {
        for (int j = 0; j < left; ++j) {
            const int i = index(j);
            b.shapes[i] = scan_number_of_mode<Ops>(b.at[i], b.ends[i], b.numbers[i]);
            const bool plain = (b.shapes[i] == scanned::plain) & (b.at[i][0] != '+');
            mode.other += plain;
            mode.suited += (b.shapes[i] != scanned::none) & !plain;
        }
        return false;
    }
    int j = 0;
    if constexpr (scans_pairs<Ops>) {
        if (scans_in_pairs<Ops>(mode)) j = scan_all_in_pairs<Ops>(b, index, left, mode);
    }
    if constexpr (scans_pairs<Ops>) mode.single += left - j;
    int read = 0;
    if constexpr (mantissas_plain<Ops>()) {
        if (mode.tails) {
            // As scan_number_of_mode reads the exponent of e, a sign and two digits, without a
            // branch on it: the mantissa's end is the number's, less the four bytes where they
            // are, so that plain numbers and those with exponents, mixed as %g writes numbers
            // of many magnitudes, go the same way.
            int with_exponents = 0;
            // Scans number i with or without such an exponent, and returns 1 where it read
            // it, plus 2 where it had one. (Inlined by force: called from two loops, it was
            // not, and the baseline read %.15g about 3% slower.)
            const auto scan = [&b](int i, bool has_tail, std::int32_t exponent)
                __attribute__((always_inline)) {
                scanned shape = Ops::scan_plain(b.at[i], b.ends[i] - 4 * has_tail, b.numbers[i]);
                // (Masked, not chosen: a choice is a branch that %g's output takes at random.)
                b.numbers[i].exponent += exponent & -static_cast<std::int32_t>(has_tail);
                const bool is_read = shape != scanned::none;
                // A mantissa whose exponent leaves a power of ten from 10^-22 to 10^0 is
                // converted as a plain number is, by the division or the exact scaling
                // (scale_down), so that the conversion takes no branch on which numbers have
                // exponents either.
                const bool as_plain =
                    (shape == scanned::plain) &
                    (static_cast<std::uint32_t>(b.numbers[i].exponent + 22) <= 22);
                if (is_read & !as_plain) shape = scanned::exponent;
                b.shapes[i] = shape;
                return static_cast<int>(is_read) | static_cast<int>(has_tail & is_read) << 1;
            };

            if constexpr (reads_eight_tails<Ops>) {
                for (; j + 8 <= left; j += 8) {
                    const char* at[8];
                    const char* ends[8];
                    std::int32_t exponents[8];
                    for (int n = 0; n < 8; ++n) {
                        at[n] = b.at[index(j + n)];
                        ends[n] = b.ends[index(j + n)];
                    }
                    const unsigned tails = Ops::eight_tails(at, ends, exponents);
                    for (int n = 0; n < 8; ++n) {
                        const int bits = scan(index(j + n), ((tails >> n) & 1) != 0, exponents[n]);
                        read += bits & 1;
                        with_exponents += bits >> 1;
                    }
                }
            }
            for (; j < left; ++j) {
                const int i = index(j);
                const two_digit_exponent tail = two_digit_exponent_of(b.at[i], b.ends[i]);
                const int bits = scan(i, tail.wrong == 0, tail.value);
                read += bits & 1;
                with_exponents += bits >> 1;
            }
            mode.suited += read - with_exponents;
            mode.other += with_exponents;
            if constexpr (scans_pairs<Ops>) mode.single_read += read;
            return false;
        }
    }
    if constexpr (reads_eight_plain<Ops> && !scans_pairs<Ops>) {
        if (mode.split) return read_plain_in_eights<Ops>(b, index, left, mode);
    }
    for (; j < left; ++j) {
        const int i = index(j);
        b.shapes[i] = Ops::scan_plain(b.at[i], b.ends[i], b.numbers[i]);
        read += b.shapes[i] == scanned::plain;
    }
    mode.suited += read;
    if constexpr (scans_pairs<Ops>) mode.single_read += read;
    if constexpr (converts_eight<Ops>) {
        if ((read >= 8) & (!converts_where_long<Ops>() | mode.split))
            return convert_in_eights<Ops>(b, index, left);
    }
    return false;
}

// Converts the numbers that scan_numbers scanned, and reads those it left by the slow ways.
// Returns the first refused, or -1.
template <class Ops, class Index>
[[gnu::always_inline]] inline int convert_numbers(batch& b, Index index, int left,
                                                  reading_mode& mode, const char* whole,
                                                  const rounding_of<Ops>& rounding) noexcept {
    for (int j = 0; j < left; ++j) {
        const int i = index(j);
        if (b.shapes[i] == scanned::converted) continue;
        if (b.shapes[i] == scanned::plain) [[likely]] {
            // No exponent and at most 20 digits after the point: a division, or the exact
            // scaling.
            b.values[i] =
                with_sign(scale_down(b.numbers[i].digits, -b.numbers[i].exponent, rounding),
                          b.numbers[i].negative);
        } else if (b.shapes[i] != scanned::none) {
            b.values[i] = convert_plain(b.numbers[i], b.at[i], b.ends[i]);
        } else if (read_word(b.at[i], b.ends[i], b.values[i])) {
            continue;
        } else {
            // scan_full has had the number in the mode for exponents.
            bool full_read = false;
            const char* const end =
                mode.exponents ? read_scalar(b.at[i], whole, b.values[i])
                               : read_other<Ops>(b.at[i], b.ends[i], whole, b.values[i], full_read);
            if (end == b.at[i]) return i;
            mode.other += full_read;
        }
    }
    return -1;
}

// The numbers of the batch not read in groups: scanned, then converted.
template <class Ops, class Index>
[[gnu::always_inline]] inline int read_singly(batch& b, Index index, int left, reading_mode& mode,
                                              const char* whole,
                                              const rounding_of<Ops>& rounding) noexcept {
    if (scan_numbers<Ops>(b, index, left, mode)) return -1;
    return convert_numbers<Ops>(b, index, left, mode, whole, rounding);
}

// The mantissa [q, m) of a number in the form %e writes, an optional '-', a digit, the point
// and 1 to 18 digits: false for any other text. The point's place follows from the length, and
// needs no search: it is lane 31 - n of the 32 bytes before m, n being the digits after it, the
// first digit lane 30 - n. Its digits, at most 19, and n go to `digits` and `fraction`, which
// mean nothing when it returns false. Reads 33 bytes before m and 2 after q.
template <class Ops>
[[gnu::always_inline]] inline bool scan_scientific(const char* q, const char* m,
                                                   std::uint64_t& digits, int& fraction) noexcept {
    const bool negative = q[0] == '-';
    fraction = static_cast<int>(m - q) - 2 - negative;
    // Lanes from 0 to 31 whatever the text, so that the loads of masks stay in their tables.
    const int lanes = static_cast<int>(static_cast<unsigned>(fraction) & 31);
    const auto own = static_cast<std::uint32_t>(~std::uint64_t{0} << (32 - lanes)) |
                     std::uint32_t{1} << ((30 - lanes) & 31);
    Ops::mantissa_value(m, 31 - lanes, lanes + 1, digits);
    return ((Ops::digit_mask(m - 32) & own) == own) & (q[negative + 1] == '.') &
           (static_cast<unsigned>(fraction - 1) <= 17);
}

// Reads the first `found` numbers of the batch where each is in the form %e writes, a mantissa
// as scan_scientific reads it and an exponent of e, a sign and two digits, whose power of ten
// scale takes, and lists the others in b.rest; returns how many it left. Every number is
// scanned, then those read are converted, each stage a loop of its own, as the pass's stages
// are. It costs less than scan_number_of_mode's plain scanner, which searches the mantissa
// for its point and records its shape, and the conversion's choices after it (in memory,
// %.17e read 16 to 20% faster so on the three x86-64 sets; the AVX-512 set's scaling of eight
// at a time, 18% more). A set that reads eight such numbers at once reads the batch's groups of
// eight so first, and the numbers it leaves go to b.rest (in memory, %.17e was read about 40%
// faster so on the AVX-512 set, and about 20% on the AVX2 set). Out of line, as read_in_groups
// is.
template <class Ops>
[[gnu::noinline]] int read_scientific(batch& b, int found, reading_mode& mode) noexcept {
    int left = 0;
    int first = 0;  // the first number read one at a time
    if constexpr (reads_eight_scientific<Ops>) {
        for (; first + 8 <= found; first += 8) {
            const unsigned read =
                Ops::read_eight_scientific(b.at + first, b.ends + first, b.values + first);
            for (unsigned others = ~read & 0xFFu; others != 0; others &= others - 1)
                b.rest[left++] = first + std::countr_zero(others);
        }
    }
    for (int i = first; i < found; ++i) {
        const char* const q = b.at[i];
        const char* const end = b.ends[i];
        const two_digit_exponent tail = two_digit_exponent_of(q, end);
        // The mantissa's end, or the number's where there is no such exponent: a number of
        // fewer than five bytes has none, and the scanner reads no more than 32 bytes before q.
        const char* const m = tail.wrong == 0 ? end - 4 : end;
        decimal& number = b.numbers[i];
        int fraction;
        const bool shape = scan_scientific<Ops>(q, m, number.digits, fraction);
        number.exponent = tail.value - fraction;
        number.negative = q[0] == '-';
        const bool read = (tail.wrong == 0) & shape &
                          (static_cast<std::uint32_t>(number.exponent + max_exact_exponent) <=
                           2 * max_exact_exponent);
        b.shapes[i] = read ? scanned::exponent : scanned::none;
        b.rest[left] = i;
        left += !read;
    }
    for (int i = first; i < found; ++i) {
        if (b.shapes[i] != scanned::exponent) continue;
        const decimal& number = b.numbers[i];
        b.values[i] = with_sign(scale(number.digits, number.exponent), number.negative);
    }
    mode.suited += found - left;
    mode.scientific = 8 * (found - left) >= 7 * found;
    return left;
}

// The numbers of a batch not read in groups: where the mode says so, those in the form %e
// writes by read_scientific first, then the rest singly.
template <class Ops>
[[gnu::always_inline]] inline int read_ungrouped(batch& b, int found, reading_mode& mode,
                                                 const char* whole,
                                                 const rounding_of<Ops>& rounding) noexcept {
    if constexpr (reads_scientific<Ops>) {
        if (mode.exponents && (mode.scientific || ++mode.unscientific == 8)) {
            mode.unscientific = 0;
            const int left = read_scientific<Ops>(b, found, mode);
            return read_singly<Ops>(
                b, [&b](int j) { return b.rest[j]; }, left, mode, whole, rounding);
        }
    }
    return read_singly<Ops>(
        b, [](int j) { return j; }, found, mode, whole, rounding);
}

// Reads, in order, the numbers that start in [first, whole), as kernel_set::sum_numbers says.
template <kernel_operations Ops>
block_sum sum_numbers(const char* first, const char* whole, std::int32_t wanted, double total,
                      pass_mode& kept) noexcept {
    static_assert(batch_size<Ops>() <= longest_batch);
    const rounding_of<Ops> rounding;
    batch b;
    number_finder finder{first, whole};
    reading_mode mode;
    mode.groups = reads_groups<Ops>;
    mode.resume(kept);
    pending_sum<Ops> pending{total};
    std::int32_t count = 0;
    while (count < wanted) {
        const int listed = finder.find<Ops>(b.at, b.ends, pending);
        if (listed == 0) break;
        int found = listed < wanted - count ? listed : static_cast<int>(wanted - count);
        int refused;
        if constexpr (reads_groups<Ops>) {
            if (mode.groups) {
                // Eight at a time first, while the numbers are short. Where more text and more
                // numbers follow, the batch ends at its last group of eight: the few after it
                // start the next batch, where a group reads them, rather than one at a time.
                // (The finder stops before the text's end only with a batch's worth found, so
                // a batch so cut still reads 64 or more.)
                if ((finder.chunk < whole) & (found == listed)) found = found / 8 * 8;
                const int left = read_in_groups<Ops>(b, found, mode, pending);
                refused = read_singly<Ops>(
                    b, [&b](int j) { return b.rest[j]; }, left, mode, whole, rounding);
            } else {
                refused = read_ungrouped<Ops>(b, found, mode, whole, rounding);
                if (++mode.unchecked == 4) {
                    mode.unchecked = 0;
                    int short_numbers = 0;
                    for (int i = 0; i < found; ++i)
                        short_numbers += b.ends[i] - b.at[i] <= 16;
                    if constexpr (splits_short<Ops>) {
                        mode.groups = 2 * short_numbers >= found;
                        mode.split = 4 * (found - short_numbers) >= found;
                    } else {
                        mode.groups =
                            8 * short_numbers >= group_eighths<Ops>(mode.exponents) * found;
                    }
                }
            }
        } else {
            refused = read_ungrouped<Ops>(b, found, mode, whole, rounding);
        }
        mode.end_batch(found);
        pending.add_rest();
        if (refused >= 0) {
            pending = {pending.total, b.values, refused};
            pending.add_rest();
            kept = mode.kept();
            return {pending.total, count + refused, b.at[refused]};
        }
        // This batch's values are added while the next is found, into the other room.
        pending = {pending.total, b.values, found};
        b.values = b.values == b.value_rooms[0] ? b.value_rooms[1] : b.value_rooms[0];
        count += found;
        finder.keep_waiting(b.at, b.ends, found, listed);
    }
    pending.add_rest();
    kept = mode.kept();
    return {pending.total, count, nullptr};
}

// The number at `first` as the mean pass reads it, as kernel_set::read_number says.
template <kernel_operations Ops>
const char* read_number(const char* first, const char* last, double& value) noexcept {
    decimal number;
    const char* const end = end_of(first);
    if (Ops::scan_plain(first, end, number) != scanned::none) {
        value = convert_plain(number, first, end);
        return end;
    }
    bool full_read;
    return read_other<Ops>(first, end, last, value, full_read);
}

// The kernel set of a set's operations, named and labelled, with its newline count.
template <kernel_operations Ops>
constexpr kernel_set kernel_set_of(const char* name, const char* label,
                                   std::uint64_t (*count_newlines)(const char*,
                                                                   std::size_t) noexcept) noexcept {
    return {name,
            label,
            batch_size<Ops>(),
            Ops::space_mask,
            count_newlines,
            sum_numbers<Ops>,
            read_number<Ops>};
}
