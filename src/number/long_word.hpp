// A word too long to hold, read a piece at a time and replaced by a short word
// that every reader of numbers takes exactly as the long one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Fed the characters of one word (no white space) in order, makes its short
// stand-in: the same first head characters, the same verdict of "%lf" on the
// whole word, the same value (a significand cut to its first sig_digits
// significant digits and a sticky digit, the exponent adjusted, which rounds
// as the whole text does), and "%d" takes all of it when it takes all of the
// long word. A word that isn't wholly a number becomes its head and a '#'.
class LongWord {
  public:
    static constexpr std::size_t head = 64;
    static constexpr int sig_digits = 800; // more than the 767 a double's rounding may need

    void feed(const char *first, const char *last) {
        for (; first != last; ++first)
            take(*first);
    }
    // The stand-in, at most about head + sig_digits + 24 characters.
    std::string text() const;

  private:
    enum class State {
        start,     // nothing, or a sign
        zero,      // a leading 0: decimal digits, or 0x
        mantissa,  // digits and a point
        exp_start, // e or p
        exp_sign,
        exp_digits,
        word,    // letters of inf, infinity or nan
        nan_seq, // in nan( ... )
        nan_end, // after nan(...)
        dead,    // not wholly a number
    };
    // take passes c on by state: the first character, the significand, the
    // exponent, the letters of a word, nan(...).
    void take(char c);
    void take_first(char c, bool in_head);
    void take_mantissa(char c, bool in_head);
    void take_exponent(char c, bool in_head);
    void take_letter(char c);
    void take_nan_char(char c, bool in_head);
    bool whole_number() const;
    void digit(int value, char c, bool in_head);
    void exponent_digit(int value, char c, bool in_head);
    void keep(char c) { kept_ += c; }

    State state_ = State::start;
    std::size_t length_ = 0;
    std::string kept_;    // the head, then what the stand-in keeps of the significand
    std::string letters_; // of inf, infinity or nan, lower case
    bool hex_ = false, point_ = false, any_digit_ = false, significant_ = false;
    bool sticky_ = false, exponent_ = false, exp_negative_ = false, exp_in_head_ = false;
    bool exp_full_ = false;     // the exponent kept as text reached the clamp
    std::int64_t kept_exp_ = 0; // its value
    int sig_ = 0;               // significant digits kept
    std::int64_t shift_ = 0;    // added to the exponent for the digits left out
    std::int64_t exp_ = 0;      // the exponent read, saturated
};
