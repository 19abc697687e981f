// The ESRI labelled header beside a raw raster, which GDAL, QGIS and ArcGIS
// read to open the raster as it is.
#pragma once
#include <string>

struct EsriHeader {
    int lines = 0;
    int columns = 0;
    int sample_bytes = 2;    // 2: unsigned 16-bit samples; 4: signed 32-bit
    double pixel_size = 0.0; // metres; none given unless positive and finite
    bool placed = false;     // the lower-left corner below is known
    double x_min = 0.0, y_min = 0.0;
};

// The header's text, one "KEY value" a line ("\n" ends each). The place is
// given only with a pixel size, as the upper-left cell's centre.
std::string esri_header_text(const EsriHeader &h);

// The shortest fixed-point text that reads back as v exactly ("12.5", "0.1").
std::string exact_decimal(double v);
