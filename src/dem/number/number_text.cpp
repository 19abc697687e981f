// Number parsing and formatting, equal to the bit and the byte to the C library
// in the C locale. The common decimal forms are read and written with integer
// arithmetic; std::from_chars, strtod and std::to_chars (all exact) do the rest.
#include "dem/number/number_text.hpp"

#include "dem/number/double_bits.hpp"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);

namespace {
bool is_digit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// strtod on a terminated copy of text (the text may continue beyond the word).
ParsedDouble strtod_prefix(std::string_view text) {
    std::string copy(text);
    char *end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    return {v, static_cast<std::size_t>(end - copy.c_str())};
}

// ---------------------------------------------------------------------------
// The table of 128-bit powers of five, computed at compile time from exact
// big integers of 32-bit limbs (least significant first).
constexpr int smallest_power = -342; // below: every 19-digit significand gives 0
constexpr int largest_power = 308;   // above: every one gives infinity
constexpr int big_limbs = 56;        // 1792 bits: 2^1791 / 5^342 keeps 2 x 795 + 128 bits

struct Big {
    std::uint32_t limb[big_limbs];
};

constexpr int bit_length(const Big &x) {
    for (int i = big_limbs - 1; i >= 0; --i)
        if (x.limb[i] != 0) return 32 * i + std::bit_width(x.limb[i]);
    return 0;
}

// The 32 bits of x from bit pos up; bits below 0 read as zeros.
constexpr std::uint32_t bits_at(const Big &x, int pos) {
    const int i = pos >= 0 ? pos / 32 : -((31 - pos) / 32); // rounded down
    const auto limb = [&x](int k) -> std::uint64_t {
        return k >= 0 && k < big_limbs ? x.limb[k] : 0;
    };
    return static_cast<std::uint32_t>((limb(i) | (limb(i + 1) << 32)) >> (pos - 32 * i));
}

// The 128 bits of x from bit pos up: floor(x / 2^pos) mod 2^128.
constexpr Power128 bits_128(const Big &x, int pos) {
    return {(static_cast<std::uint64_t>(bits_at(x, pos + 96)) << 32) | bits_at(x, pos + 64),
            (static_cast<std::uint64_t>(bits_at(x, pos + 32)) << 32) | bits_at(x, pos)};
}

// True when the bits of x from pos to pos + count - 1 are all ones.
constexpr bool all_ones(const Big &x, int pos, int count) {
    for (int done = 0; done < count; done += 32) {
        const int n = count - done < 32 ? count - done : 32;
        const std::uint32_t mask = n == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << n) - 1;
        if ((bits_at(x, pos + done) & mask) != mask) return false;
    }
    return true;
}

constexpr Power128 plus_one(Power128 p) {
    return {p.high + (p.low == ~std::uint64_t{0}), p.low + 1};
}

constexpr std::array<Power128, largest_power - smallest_power + 1> make_powers() {
    std::array<Power128, largest_power - smallest_power + 1> table{};
    // q >= 0: 5^q exactly, its leading 128 bits (below 128 bits: shifted left).
    Big five_q{};
    five_q.limb[0] = 1;
    for (int q = 0; q <= largest_power; ++q) {
        const int length = bit_length(five_q);
        table[q - smallest_power] = bits_128(five_q, length - 128);
        std::uint64_t carry = 0;
        for (int i = 0; i <= length / 32 + 1; ++i) { // and the limb the carry reaches
            carry += static_cast<std::uint64_t>(five_q.limb[i]) * 5;
            five_q.limb[i] = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
    }
    // q = -k: r = floor(2^N / 5^k), each one the previous one divided by 5,
    // rounded down (floor(floor(a / b) / c) == floor(a / (b c))), and any
    // floor(2^b / 5^k) with b <= N is r shifted right by N - b.
    constexpr int N = 32 * big_limbs - 1;
    Big r{};
    r.limb[big_limbs - 1] = std::uint32_t{1} << 31;
    for (int k = 1; k <= -smallest_power; ++k) {
        std::uint64_t rem = 0;
        for (int i = (bit_length(r) - 1) / 32; i >= 0; --i) {
            const std::uint64_t cur = (rem << 32) | r.limb[i];
            r.limb[i] = static_cast<std::uint32_t>(cur / 5);
            rem = cur % 5;
        }
        const int z = N + 1 - bit_length(r); // the bit length of 5^k
        if (k <= 27) {
            // floor(2^(z + 127) / 5^k) has 128 bits; plus one.
            table[-k - smallest_power] = plus_one(bits_128(r, N - (z + 127)));
        } else {
            // F = floor(2^(2z + 128) / 5^k) has z + 129 bits; (F + 1) halved
            // down to 128 bits is F's leading 128 bits, plus one when the
            // bits dropped are all ones.
            const int shift = N - (2 * z + 128), dropped = z + 1;
            const Power128 lead = bits_128(r, shift + dropped);
            table[-k - smallest_power] = all_ones(r, shift, dropped) ? plus_one(lead) : lead;
        }
    }
    return table;
}

constexpr auto powers_of_five = make_powers();

static_assert(powers_of_five[-smallest_power].high == 0x8000000000000000u &&
              powers_of_five[-smallest_power].low == 0);
static_assert(powers_of_five[-1 - smallest_power].high == 0xCCCCCCCCCCCCCCCCu &&
              powers_of_five[-1 - smallest_power].low == 0xCCCCCCCCCCCCCCCDu);

// ---------------------------------------------------------------------------
// Decimal to double.
constexpr double exact_powers_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Double arithmetic is IEEE double, rounded to nearest, no wider intermediate.
constexpr bool plain_double_arithmetic = FLT_EVAL_METHOD == 0;

double with_sign(std::uint64_t bits, bool negative) {
    return double_of(bits | (negative ? sign_bit : 0));
}

// w * 10^q, rounded to nearest, ties to even, for w != 0, by the Eisel-Lemire
// algorithm: the product of w and the 128-bit 5^q decides the rounding except
// in rare cases (false then). Follows Lemire, "Number parsing at a gigabyte
// per second" (2021), with its fallback kept.
bool eisel_lemire(std::uint64_t w, std::int64_t q, bool negative, double &value) {
    if (q < smallest_power) {
        value = with_sign(0, negative);
        return true;
    }
    if (q > largest_power) {
        value = with_sign(std::uint64_t{special_exponent} << fraction_bits, negative);
        return true;
    }
    const int lz = std::countl_zero(w);
    w <<= lz;
    const Power128 &p = powers_of_five[static_cast<std::size_t>(q - smallest_power)];
    U128 product = multiply_64x64(w, p.high);
    if ((product.hi & 0x1FF) == 0x1FF) { // the low bits may carry into the kept ones
        const U128 second = multiply_64x64(w, p.low);
        product.lo += second.hi;
        if (second.hi > product.lo) ++product.hi;
    }
    // Outside these exponents the truncated 5^q may leave the rounding open.
    if (product.lo == ~std::uint64_t{0} && (q < -27 || q > 55)) return false;
    const int upper = static_cast<int>(product.hi >> 63);
    const int shift = upper + 64 - fraction_bits - 3;
    std::uint64_t mantissa = product.hi >> shift;
    // floor(q log2(10)) + 63, then biased.
    int power2 = static_cast<int>(((152170 + 65536) * q) >> 16) + 63 + upper - lz + exponent_bias;
    if (power2 <= 0) { // subnormal, or zero
        if (-power2 + 1 >= 64) {
            value = with_sign(0, negative);
            return true;
        }
        mantissa >>= -power2 + 1;
        mantissa += mantissa & 1;
        mantissa >>= 1;
        // Rounding up may reach the smallest normal: its exponent bit is then set.
        value = with_sign(mantissa, negative);
        return true;
    }
    // Exactly halfway between two doubles (possible only for these q): to even.
    if (product.lo <= 1 && q >= -4 && q <= 23 && (mantissa & 3) == 1 &&
        (mantissa << shift) == product.hi)
        mantissa &= ~std::uint64_t{1};
    mantissa += mantissa & 1;
    mantissa >>= 1;
    if (mantissa >= 2 * implied_bit) {
        mantissa = implied_bit;
        ++power2;
    }
    mantissa &= ~implied_bit;
    if (power2 >= special_exponent) {
        power2 = special_exponent;
        mantissa = 0;
    }
    value = with_sign(mantissa | (static_cast<std::uint64_t>(power2) << fraction_bits), negative);
    return true;
}

// w * 10^q as strtod rounds it; false where eisel_lemire can't decide.
bool decimal_to_double(std::uint64_t w, std::int64_t q, bool negative, double &value) {
    if (w == 0) {
        value = negative ? -0.0 : 0.0;
        return true;
    }
    // Clinger: w and 10^|q| are exact doubles, so one operation rounds correctly.
    if (plain_double_arithmetic && q >= -22 && q <= 22 && w <= (std::uint64_t{1} << 53)) {
        double d = static_cast<double>(w);
        d = q < 0 ? d / exact_powers_of_ten[-q] : d * exact_powers_of_ten[q];
        value = negative ? -d : d;
        return true;
    }
    return eisel_lemire(w, q, negative, value);
}
} // namespace

const char *parse_decimal(const char *first, const char *last, double &value) {
    const char *p = first;
    bool negative = false;
    if (p != last && (*p == '-' || *p == '+')) negative = *p++ == '-';
    const char *const digits = p;
    std::uint64_t w = 0; // wraps past 19 digits; then not used
    while (p != last && is_digit(*p))
        w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
    const char *const int_end = p;
    std::size_t count = static_cast<std::size_t>(int_end - digits);
    std::int64_t q = 0;
    if (p != last && *p == '.') {
        const char *const fraction = ++p;
        while (p != last && is_digit(*p))
            w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
        q = -static_cast<std::int64_t>(p - fraction);
        count += static_cast<std::size_t>(p - fraction);
    }
    if (count == 0) return nullptr;
    // "0x": hexadecimal, the general path's.
    if (p == int_end && int_end - digits == 1 && *digits == '0' && p != last &&
        (*p == 'x' || *p == 'X'))
        return nullptr;
    const char *const mantissa_end = p;
    if (p != last && (*p == 'e' || *p == 'E')) { // an exponent only with a digit in it
        const char *e = p + 1;
        bool e_negative = false;
        if (e != last && (*e == '-' || *e == '+')) e_negative = *e++ == '-';
        if (e != last && is_digit(*e)) {
            std::int64_t exponent = 0;
            for (; e != last && is_digit(*e); ++e)
                if (exponent < (std::int64_t{1} << 40)) // far beyond any result's range
                    exponent = exponent * 10 + (*e - '0');
            q += e_negative ? -exponent : exponent;
            p = e;
        }
    }
    if (count > 19) {
        // w wrapped. Leading zeros don't count, and trailing zeros scale by 10:
        // w is the digits from the first to the last nonzero one.
        const char *s = digits;
        while (s != mantissa_end && (*s == '0' || *s == '.'))
            ++s;
        const char *t = mantissa_end;
        while (t != s && (t[-1] == '0' || t[-1] == '.')) {
            q += t[-1] == '0';
            --t;
        }
        w = 0;
        for (int n = 0; s != t; ++s) {
            if (*s == '.') continue;
            if (++n > 19) return nullptr;
            w = w * 10 + static_cast<std::uint64_t>(*s - '0');
        }
    }
    if (!decimal_to_double(w, q, negative, value)) return nullptr;
    return p;
}

ParsedInt parse_int_prefix(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digits_start = i;
    long long magnitude = 0;
    const long long cap = static_cast<long long>(INT_MAX) + 1;
    for (; i < text.size() && is_digit(text[i]); ++i)
        if (magnitude <= cap) magnitude = magnitude * 10 + (text[i] - '0');
    if (i == digits_start) return {0, 0};
    if (magnitude > cap) magnitude = cap;
    long long v = negative ? -magnitude : magnitude;
    if (v > INT_MAX) v = INT_MAX;
    return {static_cast<int>(v), i};
}

namespace {
// The forms parse_decimal leaves: from_chars takes the plain decimal ones it
// accepts (not a leading '+', nor a value out of range), strtod the others.
ParsedDouble general_prefix(std::string_view text) {
    const char *first = text.data();
    const char *last = first + text.size();
    if (is_digit(text[0]) || text[0] == '-' || text[0] == '.') {
        double v = 0;
        auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
        if (ec == std::errc() && (ptr == last || (*ptr != 'x' && *ptr != 'X' && *ptr != '(')))
            return {v, static_cast<std::size_t>(ptr - first)};
    }
    return strtod_prefix(text);
}
} // namespace

ParsedDouble parse_double_prefix(std::string_view text) {
    // A word never starts with white space; strtod would skip it.
    if (text.empty() || is_text_space(text[0])) return {0.0, 0};
    double v = 0;
    if (const char *end = parse_decimal(text.data(), text.data() + text.size(), v))
        return {v, static_cast<std::size_t>(end - text.data())};
    return general_prefix(text);
}

bool parse_double_word(std::string_view word, double &value) {
    if (word.empty() || is_text_space(word[0])) return false;
    const char *last = word.data() + word.size();
    double v = 0;
    if (const char *end = parse_decimal(word.data(), last, v)) {
        if (end != last) return false; // strtod would stop there too
        value = v;
        return true;
    }
    const ParsedDouble p = general_prefix(word);
    if (p.used != word.size()) return false;
    value = p.value;
    return true;
}

namespace {
// The grid's usual word, inline: a sign, up to 15 digits with a point, and
// nothing more, Clinger's case. nullptr for anything else (parse_decimal's).
inline const char *read_short_decimal(const char *p, const char *last, double &value) {
    const bool negative = p != last && *p == '-';
    p += negative;
    const char *const digits = p;
    std::uint64_t w = 0;
    while (p != last && is_digit(*p))
        w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
    std::ptrdiff_t count = p - digits, decimals = 0;
    if (p != last && *p == '.') {
        const char *const fraction = ++p;
        while (p != last && is_digit(*p))
            w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
        decimals = p - fraction;
        count += decimals;
    }
    // 15 digits keep w below 2^53; 0x, an exponent or another form: elsewhere.
    if (!plain_double_arithmetic || count == 0 || count > 15 ||
        (p != last && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')))
        return nullptr;
    const double d = static_cast<double>(w) / exact_powers_of_ten[decimals];
    value = negative ? -d : d;
    return p;
}
} // namespace

ParsedWords parse_words(const char *first, const char *last, double *out, std::size_t max_values,
                        bool text_ends) {
    // Unless the text ends at last, a word touching last may go on: the words
    // read are those before the last white space.
    const char *limit = last;
    if (!text_ends)
        while (limit != first && !is_text_space(limit[-1]))
            --limit;
    const char *p = first;
    std::size_t count = 0;
    while (count < max_values) {
        while (p != limit && is_text_space(*p))
            ++p;
        if (p == limit) return {count, p, p, WordsStop::need_text};
        double v;
        const char *end = read_short_decimal(p, limit, v);
        if (end == nullptr) end = parse_decimal(p, limit, v);
        if (end == nullptr || (end != limit && !is_text_space(*end))) {
            // Another form, or a number followed by more of the word.
            const char *word_end = end != nullptr ? end : p;
            while (word_end != limit && !is_text_space(*word_end))
                ++word_end;
            if (!parse_double_word(std::string_view(p, static_cast<std::size_t>(word_end - p)), v))
                return {count, p, word_end, WordsStop::not_a_number};
            end = word_end;
        }
        out[count++] = v;
        p = end;
    }
    return {count, p, p, WordsStop::full};
}

// ---------------------------------------------------------------------------
// Double to "%lf".
namespace {
constexpr char digit_pairs[201] = "00010203040506070809"
                                  "10111213141516171819"
                                  "20212223242526272829"
                                  "30313233343536373839"
                                  "40414243444546474849"
                                  "50515253545556575859"
                                  "60616263646566676869"
                                  "70717273747576777879"
                                  "80818283848586878889"
                                  "90919293949596979899";

void put_pair(char *out, std::uint32_t two_digits) {
    std::memcpy(out, digit_pairs + 2 * two_digits, 2);
}

// x (below 10^10) in decimal without leading zeros; returns the end.
char *put_whole(char *out, std::uint64_t x) {
    constexpr std::uint64_t powers[] = {
        1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000};
    int n = (std::bit_width(x | 1) * 1233) >> 12; // about log10, one short at most
    n += (x | 1) >= powers[n];
    char *end = out + n;
    char *p = end;
    while (x >= 100) {
        p -= 2;
        put_pair(p, static_cast<std::uint32_t>(x % 100));
        x /= 100;
    }
    if (x >= 10) {
        put_pair(p - 2, static_cast<std::uint32_t>(x));
    } else {
        p[-1] = static_cast<char>('0' + x);
    }
    return end;
}

// Values below 2^short_lf_bits in magnitude are written on integers: their
// millionths fit 53 bits.
constexpr int short_lf_bits = 33;

// round(|value| * 10^6), ties to even, for |value| below 2^short_lf_bits
// (biased exponent below that of 2^33): |value| = m / 2^shift, so the scaled value is
// m * 10^6 / 2^shift, exact in 128 bits and below 2^53 once divided.
std::uint64_t millionths(std::uint64_t bits) {
    const std::uint64_t m = significand_of(bits);
    const int shift = -exponent_of(bits); // 20 .. 1074
    if (shift >= 74) return 0;                           // m * 10^6 < 2^73: below half a millionth
    const U128 x = multiply_64x64(m, 1000000);
    std::uint64_t q, rem_hi, rem_lo, half_hi, half_lo;
    if (shift < 64) {
        q = (x.lo >> shift) | (x.hi << (64 - shift));
        rem_hi = 0;
        rem_lo = x.lo & ((std::uint64_t{1} << shift) - 1);
        half_hi = 0;
        half_lo = std::uint64_t{1} << (shift - 1);
    } else {
        const int t = shift - 64; // 0 .. 9
        q = x.hi >> t;
        rem_hi = x.hi & ((std::uint64_t{1} << t) - 1);
        rem_lo = x.lo;
        half_hi = t == 0 ? 0 : std::uint64_t{1} << (t - 1);
        half_lo = t == 0 ? std::uint64_t{1} << 63 : 0;
    }
    const bool above = rem_hi > half_hi || (rem_hi == half_hi && rem_lo > half_lo);
    const bool tie = rem_hi == half_hi && rem_lo == half_lo;
    return q + (above || (tie && (q & 1) != 0));
}

char *put_lf_general(char *out, double value, std::uint64_t bits) {
    const bool negative = sign_of(bits);
    if (biased_exponent(bits) == special_exponent) { // glibc's texts, on every platform
        const bool nan = (bits & fraction_mask) != 0;
        *out = '-';
        out += negative;
        std::memcpy(out, nan ? "nan" : "inf", 3);
        return out + 3;
    }
    auto [ptr, ec] = std::to_chars(out, out + lf_max_chars, value, std::chars_format::fixed, 6);
    return ec == std::errc() ? ptr : out;
}
} // namespace

char *put_lf(char *out, double value) {
    const std::uint64_t bits = bits_of(value);
    if (biased_exponent(bits) >= exponent_bias + short_lf_bits)
        return put_lf_general(out, value, bits);
    const std::uint64_t q = millionths(bits);
    *out = '-';
    out += sign_of(bits);
    const std::uint64_t whole = q / 1000000;
    const auto fraction = static_cast<std::uint32_t>(q - whole * 1000000);
    out = put_whole(out, whole);
    out[0] = '.';
    put_pair(out + 1, fraction / 10000);
    put_pair(out + 3, fraction / 100 % 100);
    put_pair(out + 5, fraction % 100);
    return out + 7;
}

char *put_lf_tab(char *out, double value) {
    out = put_lf(out, value);
    *out = '\t';
    return out + 1;
}

void append_lf(std::string &out, double value) {
    char buf[lf_max_chars + 1];
    out.append(buf, put_lf(buf, value));
}

std::string format_lf(double value) {
    std::string s;
    append_lf(s, value);
    return s;
}

void append_d(std::string &out, long long value) {
    char buf[24];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? ptr : buf);
}

Power128 power_of_five_128(int q) {
    if (q < smallest_power || q > largest_power) return {0, 0};
    return powers_of_five[static_cast<std::size_t>(q - smallest_power)];
}
