// The ESRI labelled header beside a raw raster, which GDAL, QGIS and ArcGIS
// read to open the raster as it is.
#pragma once
#include <string>

#include <optional>
#include <string_view>

// Where a raster lies as an ESRI header says it: the upper-left cell's centre
// (ULXMAP, ULYMAP) and a cell's width and height (XDIM, YDIM).
struct EsriPlace {
    double ul_x = 0.0, ul_y = 0.0;
    double x_dim = 0.0, y_dim = 0.0;
};

struct EsriHeader {
    int lines = 0;
    int columns = 0;
    int sample_bytes = 2;    // 2: unsigned 16-bit samples; 4: signed 32-bit
    double pixel_size = 0.0; // metres; none given unless positive and finite
    bool placed = false;     // the lower-left corner below is known
    double x_min = 0.0, y_min = 0.0;
    std::optional<EsriPlace> given = {}; // a place read from another header, written as it is
};

// The header's text, one "KEY value" a line ("\n" ends each). A given place
// is written as it is; otherwise the place is given only with a pixel size,
// as the upper-left cell's centre.
std::string esri_header_text(const EsriHeader &h);

// The place in an ESRI header's text: its four keywords in any case, each
// followed by one number (the last line of a keyword counts, as in GDAL).
// Nothing unless all four are there, finite, and the sizes above 0. The
// text ends at a Ctrl-Z.
std::optional<EsriPlace> esri_place(std::string_view text);

// The shortest fixed-point text that reads back as v exactly ("12.5", "0.1").
std::string exact_decimal(double v);
