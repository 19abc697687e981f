// The ESRI labelled header of a raw raster: sizes, sample type, pixel size, place.
#include "dem/esri_header.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

std::string exact_decimal(double v) {
    // Fixed notation: some readers of these headers take no exponent.
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    return std::string(text, r.ptr);
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
    const double d = h.pixel_size;
    if (!(d > 0.0 && std::isfinite(d))) return t;
    t += "XDIM " + exact_decimal(d) + "\nYDIM " + exact_decimal(d) + "\n";
    if (!h.placed) return t;
    // One rounding per step, in this order, on every compiler (no fused multiply-add).
    const double half = d / 2;
    const double centre_x = h.x_min + half;
    const double rows_up = (static_cast<double>(std::max(h.lines, 0)) - 0.5) * d;
    const double centre_y = h.y_min + rows_up;
    if (!std::isfinite(centre_x) || !std::isfinite(centre_y)) return t;
    t += "ULXMAP " + exact_decimal(centre_x) + "\nULYMAP " + exact_decimal(centre_y) + "\n";
    return t;
}
