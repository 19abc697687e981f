// The ESRI labelled header of a raw raster: sizes, sample type, pixel size, place.
#include "dem/esri_header.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "number/number_text.hpp"

std::string exact_decimal(double v) {
    // Fixed notation: some readers of these headers take no exponent.
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    return std::string(text, r.ptr);
}

namespace {
std::string place_lines(const EsriPlace &p) {
    return "XDIM " + exact_decimal(p.x_dim) + "\nYDIM " + exact_decimal(p.y_dim) + "\nULXMAP " +
           exact_decimal(p.ul_x) + "\nULYMAP " + exact_decimal(p.ul_y) + "\n";
}

// Keywords are upper-case ASCII letters: a word matches in any case.
bool same_keyword(std::string_view word, std::string_view keyword) {
    return std::equal(word.begin(), word.end(), keyword.begin(), keyword.end(),
                      [](char a, char b) { return (a & ~0x20) == b; });
}

// The next word of text from at, which then stands past it.
std::string_view next_word(std::string_view text, std::size_t &at) {
    while (at < text.size() && is_text_space(text[at]))
        ++at;
    const std::size_t start = at;
    while (at < text.size() && !is_text_space(text[at]))
        ++at;
    return text.substr(start, at - start);
}
} // namespace

std::optional<EsriPlace> esri_place(std::string_view text) {
    text = text.substr(0, text.find('\x1a'));
    const std::string_view keywords[4] = {"ULXMAP", "ULYMAP", "XDIM", "YDIM"};
    double values[4] = {};
    bool found[4] = {};
    for (std::size_t line = 0; line < text.size();) {
        const std::size_t end = std::min(text.find('\n', line), text.size());
        const std::string_view content = text.substr(line, end - line);
        std::size_t at = 0;
        const std::string_view keyword = next_word(content, at);
        for (int k = 0; k < 4; ++k)
            if (same_keyword(keyword, keywords[k]))
                found[k] = parse_double_word(next_word(content, at), values[k]) &&
                           std::isfinite(values[k]);
        line = end + 1;
    }
    if (!(found[0] && found[1] && found[2] && found[3] && values[2] > 0.0 && values[3] > 0.0))
        return std::nullopt;
    return EsriPlace{values[0], values[1], values[2], values[3]};
}

std::string esri_header_text(const EsriHeader &h) {
    const bool wide = h.sample_bytes == 4;
    std::string t;
    // A grid without cells is an empty file: no negative size is written for it.
    t += "NROWS " + std::to_string(std::max(h.lines, 0)) + "\n";
    t += "NCOLS " + std::to_string(std::max(h.columns, 0)) + "\n";
    t += "NBANDS 1\n";
    t += wide ? "NBITS 32\nPIXELTYPE SIGNEDINT\n" : "NBITS 16\nPIXELTYPE UNSIGNEDINT\n";
    t += "BYTEORDER I\nLAYOUT BIL\n";
    if (h.given) return t + place_lines(*h.given);
    const double d = h.pixel_size;
    if (!(d > 0.0 && std::isfinite(d))) return t;
    // One rounding per step, in this order, on every compiler (no fused multiply-add).
    const double half = d / 2;
    const double centre_x = h.x_min + half;
    const double rows_up = (static_cast<double>(std::max(h.lines, 0)) - 0.5) * d;
    const double centre_y = h.y_min + rows_up;
    if (h.placed && std::isfinite(centre_x) && std::isfinite(centre_y))
        return t + place_lines({centre_x, centre_y, d, d});
    return t + "XDIM " + exact_decimal(d) + "\nYDIM " + exact_decimal(d) + "\n";
}
