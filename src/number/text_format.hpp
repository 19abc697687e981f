// Texts made as the C library's formatted printing makes them from "%d",
// "%lf" and "%s", so that every console text stands whole in the code with
// its conversions in place. Pure functions.
#pragma once
#include <concepts>
#include <string>
#include <string_view>

// One argument of a text: an integer for "%d", a double for "%lf", a string for "%s".
struct TextArg {
    enum Kind { integer, real, text } kind;
    long long i = 0;
    double d = 0.0;
    std::string_view s;

    template <std::integral I> TextArg(I v) : kind(integer), i(static_cast<long long>(v)) {}
    TextArg(double v) : kind(real), d(v) {}
    template <std::convertible_to<std::string_view> S> TextArg(const S &v) : kind(text), s(v) {}
};

// format with each "%d", "%lf" and "%s" replaced by the next argument, as
// printf writes it, and "%%" by "%". A conversion whose argument is missing or
// of another kind, and any other "%" sequence, is copied as it stands.
std::string format_text(std::string_view format, std::initializer_list<TextArg> args);
