// The short stand-in of a word too long to hold: the strtod grammar (decimal,
// hexadecimal, inf, nan(...)) followed a character at a time.
#include "number/long_word.hpp"

#include <algorithm>

#include "number/number_text.hpp"

namespace {
constexpr std::int64_t exponent_cap = std::int64_t{1} << 56;
// Beyond 10^9 (2^(10^9) for hexadecimal) every kept significand, between
// 10^-70 and 10^810, gives infinity or zero: the exponent written is clamped there.
constexpr std::int64_t written_exponent_cap = 999999999;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    c = lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}
bool nan_char(char c) {
    c = lower(c);
    return is_digit(c) || (c >= 'a' && c <= 'z') || c == '_';
}
} // namespace

void LongWord::digit(int value, char c, bool in_head) {
    any_digit_ = true;
    if (!significant_ && value == 0) { // a leading zero: of no value, the fraction's shift it
        if (!in_head && point_) --shift_;
        return;
    }
    significant_ = true;
    if (sig_ < sig_digits) {
        ++sig_;
        if (!in_head) keep(c);
        return;
    }
    if (value != 0) sticky_ = true;
    if (!point_) ++shift_;
}

void LongWord::exponent_digit(int value, char c, bool in_head) {
    exp_ = std::min(exp_ * 10 + value, exponent_cap);
    if (!exp_in_head_ || exp_full_) return;
    // The exponent began in the head and is kept as text: past the head, its
    // leading zeros go, and its digits while it stays below the clamp.
    if (!in_head) {
        if (kept_exp_ == 0 && value == 0) return;
        if (kept_exp_ * 10 + value > written_exponent_cap) {
            exp_full_ = true;
            return;
        }
        keep(c);
    }
    kept_exp_ = std::min(kept_exp_ * 10 + value, exponent_cap);
    if (kept_exp_ > written_exponent_cap) exp_full_ = true;
}

void LongWord::take(char c) {
    ++length_;
    const bool in_head = length_ <= head;
    if (in_head) keep(c);
    switch (state_) {
    case State::start:
        return take_first(c, in_head);
    case State::zero:
        if (lower(c) == 'x') { // the 0 of 0x is no digit
            state_ = State::mantissa;
            hex_ = true;
            any_digit_ = false;
            return;
        }
        [[fallthrough]];
    case State::mantissa:
        return take_mantissa(c, in_head);
    case State::exp_start:
    case State::exp_sign:
    case State::exp_digits:
        return take_exponent(c, in_head);
    case State::word:
        return take_letter(c);
    case State::nan_seq:
        return take_nan_char(c, in_head);
    case State::nan_end:
    case State::dead:
        state_ = State::dead;
        return;
    }
}

void LongWord::take_first(char c, bool in_head) {
    if ((c == '+' || c == '-') && length_ == 1) return;
    if (is_digit(c)) {
        state_ = c == '0' ? State::zero : State::mantissa;
        digit(c - '0', c, in_head);
    } else if (c == '.') {
        state_ = State::mantissa;
        point_ = true;
    } else if (lower(c) == 'i' || lower(c) == 'n') {
        state_ = State::word;
        letters_ += lower(c);
    } else {
        state_ = State::dead;
    }
}

void LongWord::take_mantissa(char c, bool in_head) {
    state_ = State::mantissa;
    const int value = hex_ ? hex_value(c) : is_digit(c) ? c - '0' : -1;
    if (value >= 0) {
        digit(value, c, in_head);
    } else if (c == '.' && !point_) {
        point_ = true;
        if (!in_head) keep(c);
    } else if (any_digit_ && lower(c) == (hex_ ? 'p' : 'e')) {
        state_ = State::exp_start;
        exponent_ = true;
        exp_in_head_ = in_head;
    } else {
        state_ = State::dead;
    }
}

void LongWord::take_exponent(char c, bool in_head) {
    if (state_ == State::exp_start && (c == '+' || c == '-')) {
        state_ = State::exp_sign;
        exp_negative_ = c == '-';
        if (!in_head && exp_in_head_) keep(c);
    } else if (is_digit(c)) {
        state_ = State::exp_digits;
        exponent_digit(c - '0', c, in_head);
    } else {
        state_ = State::dead;
    }
}

void LongWord::take_letter(char c) {
    letters_ += lower(c);
    if (letters_ == "nan(")
        state_ = State::nan_seq;
    else if (std::string_view("infinity").substr(0, letters_.size()) != letters_ &&
             std::string_view("nan").substr(0, letters_.size()) != letters_)
        state_ = State::dead;
}

void LongWord::take_nan_char(char c, bool in_head) {
    if (c == ')') {
        state_ = State::nan_end;
        if (!in_head) keep(c);
    } else if (!nan_char(c)) {
        state_ = State::dead;
    }
}

// Whether "%lf" takes the whole word.
bool LongWord::whole_number() const {
    if (state_ == State::zero || state_ == State::mantissa) return any_digit_;
    if (state_ == State::word)
        return letters_ == "inf" || letters_ == "infinity" || letters_ == "nan";
    return state_ == State::exp_digits || state_ == State::nan_end;
}

std::string LongWord::text() const {
    if (!whole_number()) return kept_.substr(0, head) + "#"; // '#' belongs to no number
    // nan(...) keeps its head and its closing parenthesis; a text kept with its
    // exponent (which began in the head) is complete; and a word of digits alone
    // stays one ("%d" reads it all), any digit it lost making it infinite.
    if (state_ == State::nan_end || state_ == State::word || exp_in_head_ ||
        (!point_ && !exponent_))
        return kept_;
    std::string s = kept_;
    std::int64_t shift = shift_;
    if (sticky_) { // below the last digit kept, nonzero: rounds as what was left out
        s += '1';
        if (!point_) --shift;
    }
    std::int64_t e = (exp_negative_ ? -exp_ : exp_) + shift * (hex_ ? 4 : 1);
    e = std::clamp(e, -written_exponent_cap, written_exponent_cap);
    if (exponent_ || e != 0) {
        s += hex_ ? 'p' : 'e';
        s += std::to_string(e);
    }
    return s;
}
