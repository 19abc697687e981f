// The number text and the word reader of the grid reader and writer before
// the block engine, kept verbatim (only moved into a namespace) so that textbench can measure
// the new code against it. Not used by the program.
#pragma once
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace before {
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

struct ParsedDouble {
    double value;
    std::size_t used;
};

// strtod on a terminated copy of text (the text may continue beyond the word).
inline ParsedDouble strtod_prefix(std::string_view text) {
    std::string copy(text);
    char *end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    return {v, static_cast<std::size_t>(end - copy.c_str())};
}

// Exact powers of ten as doubles (10^22 is the last one a double holds exactly).
constexpr double exact_powers_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals ("-123.45"): with a significand below 2^53 and at most 22
// decimals, the value is M / 10^k with both exactly representable, so one
// division is correctly rounded (Clinger's fast path). False for any other form.
inline bool parse_plain_decimal(std::string_view word, double &value) {
    std::size_t i = 0;
    const bool negative = word[0] == '-';
    i += negative;
    std::uint64_t m = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < word.size(); ++i) {
        const char c = word[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 19) return false;
            m = m * 10 + static_cast<std::uint64_t>(c - '0');
            decimals += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || m > (std::uint64_t{1} << 53) || decimals > 22) return false;
    const double v = static_cast<double>(m) / exact_powers_of_ten[decimals];
    value = negative ? -v : v;
    return true;
}

inline bool parse_double_word(std::string_view word, double &value) {
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
    if (parse_plain_decimal(word, value)) return true;
    const char *first = word.data();
    const char *last = first + word.size();
    if (is_digit(word[0]) || word[0] == '-' || word[0] == '.') {
        auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
        if (ec == std::errc() && ptr == last) return true;
    }
    ParsedDouble p = strtod_prefix(word);
    if (p.used != word.size()) return false;
    value = p.value;
    return true;
}

inline void append_lf(std::string &out, double value) {
    // Values below 2^53 / 10^6 in magnitude: value * 10^6 = m * 10^6 * 2^e,
    // divided exactly in 128-bit integers and rounded half to even on the
    // remainder, as printf rounds the exact binary value.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased < 1023 + 33) { // below 2^33, so the scaled value stays below 2^53
        const std::uint64_t m =
            (bits & ((std::uint64_t{1} << 52) - 1)) | (biased != 0 ? std::uint64_t{1} << 52 : 0);
        const int shift = 1075 - (biased == 0 ? 1 : biased); // value = m / 2^shift
        // m * 10^6 has at most 73 bits: held as hi * 2^64 + lo.
        const std::uint64_t m_lo = (m & 0xFFFFFFFFu) * 1000000u;
        const std::uint64_t m_hi = (m >> 32) * 1000000u; // below 2^41
        const std::uint64_t lo = m_lo + (m_hi << 32);
        const std::uint64_t hi = (m_hi >> 32) + (lo < m_lo);
        std::uint64_t q = 0;
        bool above_half = false, half = false, odd_tie = false;
        if (shift >= 128) {
            q = 0; // far below half a millionth
        } else if (shift >= 64) {
            const int t = shift - 64;
            q = t == 0 ? hi : hi >> t;
            // remainder = (hi mod 2^t) * 2^64 + lo, against half = 2^(shift-1)
            const std::uint64_t rem_hi = t == 0 ? 0 : hi & ((std::uint64_t{1} << t) - 1);
            if (t == 0) {
                half = lo == (std::uint64_t{1} << 63);
                above_half = lo > (std::uint64_t{1} << 63);
            } else {
                const std::uint64_t half_hi = std::uint64_t{1} << (t - 1);
                half = rem_hi == half_hi && lo == 0;
                above_half = rem_hi > half_hi || (rem_hi == half_hi && lo != 0);
            }
        } else if (shift > 0) {
            q = (lo >> shift) | (shift == 0 ? 0 : hi << (64 - shift));
            const std::uint64_t rem = lo & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half_v = std::uint64_t{1} << (shift - 1);
            half = rem == half_v;
            above_half = rem > half_v;
        } else {
            q = lo; // shift 0 cannot occur below 2^33, kept for completeness
        }
        odd_tie = half && (q & 1) != 0;
        if (above_half || odd_tie) ++q;
        char buf[32];
        char *end = buf + sizeof buf;
        char *p = end;
        std::uint64_t frac = q % 1000000, whole = q / 1000000;
        for (int k = 0; k < 6; ++k, frac /= 10)
            *--p = static_cast<char>('0' + frac % 10);
        *--p = '.';
        do {
            *--p = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if ((bits >> 63) != 0) *--p = '-';
        out.append(p, end);
        return;
    }
    char buf[400]; // the longest "%lf": 309 integer digits, sign, point, six decimals
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    if (ec != std::errc()) ptr = buf;
    out.append(buf, ptr);
}

// The word reader.
class TextReader {
  public:
    // Words longer than this are cut into pieces of this length, so a runaway
    // "word" (a binary file read as text) can't exhaust memory.
    static constexpr std::size_t max_word = std::size_t{16} << 20;

    // line_at_a_time: take what one read line gives and don't wait for more
    // (the console); otherwise read large blocks (files).
    explicit TextReader(std::FILE *file, bool line_at_a_time = false);

    // Skips white space and returns the next word without consuming it; an
    // empty view at the end of the text. The view stays valid until the next call.
    std::string_view peek_word() {
        for (;;) {
            while (pos_ < end_ && is_space(buf_[pos_]))
                ++pos_;
            if (pos_ < end_) break;
            if (!fill()) return {};
        }
        std::size_t i = pos_;
        for (;;) {
            while (i < end_ && !is_space(buf_[i]))
                ++i;
            if (i < end_ || i - pos_ >= max_word) break;
            const std::size_t offset = i - pos_;
            const bool more = fill(); // may move the unread text to the front
            i = pos_ + offset;
            if (!more) break;
        }
        return {buf_.data() + pos_, i - pos_};
    }

    // Drops n characters of the word last peeked.
    void consume(std::size_t n) { pos_ += n; }

    static bool is_space(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }

  private:
    // Appends more text to the buffer, keeping the unread part; false at the end.
    bool fill();

    std::FILE *file_;
    bool line_at_a_time_;
    bool ended_ = false;
    bool at_start_ = true; // a UTF-8 byte-order mark may open the text: not content
    std::vector<char> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

constexpr char ctrl_z = 0x1A;
constexpr std::size_t file_block = std::size_t{1} << 20;

inline TextReader::TextReader(std::FILE *file, bool line_at_a_time)
    : file_(file), line_at_a_time_(line_at_a_time), buf_(line_at_a_time ? 4096 : file_block) {}

inline bool TextReader::fill() {
    if (ended_ || file_ == nullptr) return false;
    if (pos_ > 0) { // keep only the unread part, at the front
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
    std::size_t got = 0;
    if (line_at_a_time_) {
        int c = 0;
        while (end_ + got < buf_.size() && (c = std::getc(file_)) != EOF) {
            buf_[end_ + got++] = static_cast<char>(c);
            if (c == '\n') break;
        }
    } else {
        got = std::fread(buf_.data() + end_, 1, buf_.size() - end_, file_);
    }
    if (got == 0) {
        ended_ = true;
        return false;
    }
    if (const void *z = std::memchr(buf_.data() + end_, ctrl_z, got)) {
        got = static_cast<std::size_t>(static_cast<const char *>(z) - (buf_.data() + end_));
        ended_ = true;
    }
    end_ += got;
    if (at_start_) {
        at_start_ = false;
        if (end_ - pos_ >= 3 && std::memcmp(buf_.data() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
    }
    return got > 0;
}
} // namespace before
