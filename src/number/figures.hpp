// The figures the base-level stage reports and works with (range, count of the
// minimum, base level, range of the raised elevations), gathered in one pass
// while the input is read: directly from elevations, or from raw samples, whose
// elevations follow from their values alone. Pure functions.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "number/extended_arith.hpp"

// Where the minimum searches start: a value this high or higher is never a minimum.
inline constexpr double search_start = 1.0e7;

// The elevation figures, as scans in line order starting the minimum at
// search_start and the maximum at 0 give them. NaN takes part in no comparison.
struct ElevationFigures {
    double min = search_start;   // smallest elevation, or search_start
    double max = 0.0;            // largest elevation, or 0
    std::uint64_t min_cells = 0; // cells holding exactly min
    double base = search_start;  // smallest elevation above 0, or search_start
    bool any = false;            // some cell holds a comparable value (not NaN)
};

// One more cell, in line order. The count restarts whenever a new minimum
// appears, so it ends as the count of cells equal to the final one.
inline void add_elevation(ElevationFigures &f, double v) {
    if (f.min > v) {
        f.min = v;
        f.min_cells = 0;
    }
    if (v == f.min) ++f.min_cells;
    if (f.max < v) f.max = v;
    if (v > 0.0 && f.base > v) f.base = v;
    if (!std::isnan(v)) f.any = true;
}

// n more cells, in line order (the figures kept where the cells can't alias them).
void add_elevations(ElevationFigures &f, const double *v, std::size_t n);

// The figures of a scan that goes on over the cells whose figures are next:
// the same as adding those cells one by one (ties keep the first value seen).
inline void add_figures(ElevationFigures &f, const ElevationFigures &next) {
    if (f.min > next.min) {
        f.min = next.min;
        f.min_cells = 0;
    }
    if (next.min == f.min) f.min_cells += next.min_cells;
    if (f.max < next.max) f.max = next.max;
    if (f.base > next.base) f.base = next.base;
    f.any = f.any || next.any;
}

// An elevation raised to the base level: cells below it take it.
inline double raised(double v, double base) {
    return v < base ? base : v;
}

// The range of the raised elevations, as a scan of them (from search_start
// and 0) gives it. Raising keeps the order of elevations, so it follows from
// the input range.
struct Range {
    double min, max;
};
Range raised_range(const ElevationFigures &f, double base);

// Raw samples seen so far: extremes, the cells at the smallest, the smallest
// positive sample. Samples of 16 and 32 bits alike, as signed 32-bit values.
struct SampleFigures {
    std::uint64_t cells = 0;
    std::int32_t smallest = INT32_MAX, largest = INT32_MIN;
    std::uint64_t smallest_cells = 0;
    std::int32_t smallest_positive = INT32_MAX; // INT32_MAX also when there is none
    bool any_positive = false;
};
// n more samples (T: std::uint16_t or std::int32_t).
template <class T> void add_samples(SampleFigures &f, const T *samples, std::size_t n);
// n more cells of sample 0 (beyond the end of a short file), at no cost per cell.
void add_zero_samples(SampleFigures &f, std::uint64_t n);

// The elevation figures of the cells whose samples gave f, in the unit of
// factor. A sample's elevation depends on its value only, and the conversion
// keeps order strictly, gives 0 for 0 and positive values for positive samples
// only; so the smallest, largest and smallest positive samples decide them.
ElevationFigures figures_of_samples(const SampleFigures &f, UnitFactor factor);
