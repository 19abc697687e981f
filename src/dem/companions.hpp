// The files beside an output that GIS tools read: the ESRI header of a raw
// raster and the input's coordinate system.
#pragma once

// Opens f2h beside the raw output nomim2 and writes its header: the sizes and
// sample type, the pixel size dpix_size exactly, and the place where the input
// was an ASCII grid; where the input is a raw raster whose own ESRI header
// gives a place, that place and its cell size. Fails on such a header that
// exists and can't be read.
void write_raster_header();

// Opens f2prj beside the output nomim2: where the input has a coordinate
// system beside it (<name>.prj for an ASCII grid; <name>_m2.prj, <name>_m4.prj
// or else <name>.prj for a raster), a copy of it byte for byte; otherwise to
// remove an older one there, which belongs to another run. Returns whether it
// holds a copy. Fails on one that exists and can't be read.
bool copy_projection();
