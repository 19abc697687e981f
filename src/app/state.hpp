// The program-wide state that every stage reads and writes. Everything starts
// at zero, false, null or empty; each comment says which stage sets it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.hpp"

extern int nb_lig;            // grid lines: descriptor, typed answer or ASCII header (opening)
extern int nb_col;            // grid columns: likewise
extern int val;               // bytes per sample of the output raster, 2 or 4 (output dialogue)
extern int mind, maxd;        // descriptor lines 4 and 5 as read; not used afterwards (opening)
extern int pix_size;          // pixel size in whole metres, 0 = not given (opening)
extern int format;            // input form: 0 ASCII grid, 1 raw raster (opening)
extern int itype;             // input sample width: 0 16 bits, other 32 bits (opening)
extern int format_out;        // output form, coded like format (output dialogue)
extern int itype_out;         // output sample width, coded like itype (output dialogue)
extern double dpix_size;      // pixel size in metres (opening, ASCII header or output dialogue)
extern double X_min;          // lower-left corner easting, m (ASCII header or ASCII writer)
extern double Y_min;          // lower-left corner northing, m (likewise)
extern double nodata;         // no-data value of an ASCII header; not used (ASCII reader)
extern unsigned short **jtab; // 16-bit samples of the input, held to the end (raster reader)
extern int **itab;            // 32-bit samples until converted, then released (raster reader)
extern double **dtab_in;      // input elevations, m, of a 32-bit raster or ASCII grid (reader)
extern double **dtab_out;     // output elevations, m: input raised to the base level (treatment)
// A 16-bit raster is never widened to double grids: a cell's elevation depends
// on its sample value only, so these tables and jtab stand for dtab_in and dtab_out.
extern std::vector<double> sample_metres;       // input elevation of each sample value, m;
                                                // empty for other inputs (raster reader)
extern std::vector<double> sample_metres_out;   // the same raised to the base level (treatment)
extern std::vector<std::uint64_t> sample_cells; // cells holding each sample value (raster reader)
extern bool descr_OK;         // the raster descriptor existed and was read (opening)
extern bool open_ascii_OK;    // the input is an ASCII grid (opening)
extern std::string nomim1;    // input data path (opening)
extern std::string nomfic;    // output DEM name (output dialogue)
extern std::string nomfic1;   // input DEM name as typed (opening)
extern std::string nomim2;    // folder prefix after opening; then the output data path
extern std::string nomdescr2; // output descriptor path (output dialogue)
extern std::FILE *f1;         // input data file, open to the end (opening)
extern OutFile f1d; // descriptor being created: lines 1-3 by opening, 4-6 by the raster reader
extern OutFile f2;  // output data file (output dialogue)
extern OutFile f2d; // output descriptor (output dialogue)

// Whether the grid has any cell at all (lines and columns both positive).
// Grids are obtained, and cells visited, only then.
inline bool grid_has_cells() {
    return nb_lig > 0 && nb_col > 0;
}

// Calls visit(elevation, cells) for each cell of grid in line order with
// cells = 1 or, for a 16-bit raster, for each sample value that some cell
// holds, with its elevation in by_sample and its count of cells.
template <class Visit>
void for_each_elevation(double **grid, const std::vector<double> &by_sample, Visit &&visit) {
    if (!sample_metres.empty()) {
        for (std::size_t s = 0; s < sample_cells.size(); ++s)
            if (sample_cells[s] != 0) visit(by_sample[s], sample_cells[s]);
        return;
    }
    const int lines = grid_has_cells() ? nb_lig : 0;
    for (int i = 0; i < lines; ++i) {
        const double *row = grid[i];
        for (int j = 0; j < nb_col; ++j)
            visit(row[j], std::uint64_t{1});
    }
}
template <class Visit> void for_each_input_elevation(Visit &&visit) {
    for_each_elevation(dtab_in, sample_metres, visit);
}
template <class Visit> void for_each_output_elevation(Visit &&visit) {
    for_each_elevation(dtab_out, sample_metres_out, visit);
}

// Releases the grids, closes the input, removes unfinished outputs and puts
// every variable back to its starting value: harnesses that run the stages
// many times in one process call it between runs.
void reset_state();

// The stages, in the order of a run.
void opening();         // greets, asks for the input, loads its elevations
void dem_lecture();     // loads the raw raster f1: jtab and tables, or dtab_in, in metres
void ascii_lecture();   // loads the ASCII grid f1 into dtab_in
void treatment();       // reports, asks, raises the collar, then the output dialogue
void output_dialogue(); // asks for the output and writes it
void raster_saving();   // writes the output elevations as a raw raster and its descriptor
void ascii_saving();    // writes the output elevations as an ASCII grid to f2
