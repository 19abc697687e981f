// The program-wide state that every stage reads and writes. Everything starts
// at zero, false, null or empty (the figures at their search starts); each
// comment says which stage sets it.
#pragma once
#include <string>

#include "number/figures.hpp"
#include "platform/in_file.hpp"
#include "platform/out_file.hpp"

extern int nb_lig;       // grid lines: descriptor, typed answer or ASCII header (opening)
extern int nb_col;       // grid columns: likewise
extern int val;          // bytes per sample of the output raster, 2 or 4 (output dialogue)
extern int pix_size;     // pixel size in whole metres, 0 = not given (opening)
extern int format;       // input form: 0 ASCII grid, 1 raw raster (opening)
extern int itype;        // input sample width: 0 16 bits, other 32 bits (opening)
extern int dyn_scale;    // unit of the input samples: 0 m, 1 dm, 2 cm, 3 mm (raster reader)
extern int itype_out;    // output sample width, coded like itype (output dialogue)
extern double dpix_size; // pixel size in metres (opening, ASCII header or output dialogue)
extern double X_min;     // lower-left corner easting, m (ASCII header or ASCII writer)
extern double Y_min;     // lower-left corner northing, m (likewise)
extern ElevationFigures input_figures; // range, count of the minimum and smallest positive
                                       // elevation of the input (reader)
extern double new_dtab_min_in; // base level, m: output elevations are the input raised to it
                               // (treatment)
extern bool descr_OK;          // the raster descriptor existed and was read (opening)
extern bool open_ascii_OK;     // the input is an ASCII grid (opening)
extern std::string nomim1;     // input data path (opening)
extern std::string nomfic1;    // input DEM name as typed (opening)
extern std::string nomim2;     // folder prefix after opening; then the output data path
extern std::string nomdescr2;  // output descriptor path (output dialogue)
extern InFile f1;              // input data file, read once per pass (opening)
extern OutFile f1d;   // descriptor being created: lines 1-3 by opening, 4-6 by the raster reader
extern OutFile f2;    // output data file (output dialogue)
extern OutFile f2h;   // ESRI header of a raw output (raster writer)
extern OutFile f2prj; // copy of the input's coordinate system (writers)

// Whether the grid has any cell at all (lines and columns both positive).
// Cells are visited only then.
inline bool grid_has_cells() {
    return nb_lig > 0 && nb_col > 0;
}
// The number of cells: lines times columns, 0 when the grid has none.
inline unsigned long long grid_cells() {
    return grid_has_cells() ? static_cast<unsigned long long>(nb_lig) * nb_col : 0;
}

// Releases the grids and buffers, closes the input, removes unfinished outputs
// and puts every variable back to its starting value: harnesses that run the
// stages many times in one process call it between runs.
void reset_state();

// The stages, in the order of a run.
void opening();         // greets, asks for the input, loads its elevations
void dem_lecture();     // reads the raw raster f1 once for its figures; asks the unit
void ascii_lecture();   // reads the ASCII grid f1 once for its size and figures
void treatment();       // reports, asks, raises the collar, then the output dialogue
void output_dialogue(); // asks for the output and writes it
void raster_saving();   // writes the output elevations as a raw raster and its descriptor
void ascii_saving();    // writes the output elevations as an ASCII grid to f2
