// The console texts a run shows, written out by hand, piece by piece, so each
// dialogue test can compare the whole console output of a run.
#pragma once
#include <string>

namespace text {

inline const std::string banner =
    "\n\n\t**************************************************************"
    "\n\t*                                                            *"
    "\n\t*               GROUNDZEROHYPSOMETRIZER                      *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t*                                         ARVELINTORES       *"
    "\n\t*                                      (September 2019)      *"
    "\n\t*                                                            *"
    "\n\t**************************************************************"
    "\n\n\tThis algorithm calculates the minimum hypsometric value that does"
    "\n\tnot correspond to a null value, in order to consider this hypsometric "
    "\n\tvalue as the basic altitudinal level of Digital Elevation Model.";

inline const std::string ask_folder =
    "\n\n\tName of the File Folder located in the Directory C:images ? ";
inline const std::string ask_name =
    "\n\n\tName of Digital Elevation Model [DEM] (without any extension) ? ";
inline const std::string format_menu =
    "\n\n\tFormat Type :\n\t\t0 ====> ascii\n\t\t1 ====> raster\n\t\t";
inline const std::string raster_menu =
    "\n\ttype of DEM raster :\n\t\t0 ====> 16 bits\n\t\t1 ====> 32 bits\n\t\t";

// Everything up to and including the input form question.
inline const std::string start = banner + ask_folder + ask_name + format_menu;

inline std::string unknown(const std::string &path) {
    return "\n File " + path + " unknown\n";
}
inline std::string no_file(const std::string &path) {
    return "\n No File " + path + " \n\n";
}
inline const std::string ask_lines = "\n\tNumber of lines   ? ";
inline const std::string ask_columns = "\n\tNumber of columns ? ";
inline const std::string ask_pixel_created = "\n\tPixel size (decimal value in meters) ? ";
inline const std::string ask_pixel = "\n\n\tPixel Size (decimal value in meters) ? ";

inline std::string input_range(const std::string &min, const std::string &max) {
    return "\n\n\tInput hypsometric dynamic scale:\n\t\tMin = " + min + "\n\t\tMax = " + max + " ";
}
inline const std::string unit_menu = "\n\n\tAre these values\n\t\t0 ====> in meters"
                                     "\n\t\t1 ====> in decimeters\n\t\t2 ====> in centimeters"
                                     "\n\t\t3 ====> in millimeters\n\t\t";

inline std::string dem_has(const std::string &lines, const std::string &columns) {
    return "\n\n\tTHE DEM HAS :  \n            " + lines + " LINES\n        AND " + columns +
           " COLUMNS\n";
}

inline std::string report(const std::string &min, const std::string &max,
                          const std::string &count) {
    return "\n\n\tTreatment\n\n"
           "\n\tRecalculated altitude value of the original DEM : "
           "\n\t\tMin = " +
           min + "   Max. = " + max + " " + "\n\n\tnumber of pixels with min value = " + count +
           " " + "\n\n\tReplace this null value with the minimum hypsometric" +
           "\n\tvalue of the MDE which is greater than zero";
}
inline const std::string yes_no = "\n\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
inline const std::string no_change = "\n\n\tNot any modification ";

inline std::string base_level(const std::string &level) {
    return "\n\n\tRecalculated minimum altitude value = " + level + " " +
           "\n\n\tDigital Elevation Model transformed";
}

inline const std::string output_title = "\n\n\tName of the output Digital Elevation Model [DEM] : ";
inline std::string naming(const std::string &name) {
    return "\n\n\t0 -----> Use of the generic name " + name +
           " ? \n\t1 -----> Creation of a new File ? \n\t";
}
inline const std::string ask_new_name =
    "\n\n\tName of the resulting DEM (without any extension) ? ";

inline std::string output_range(const std::string &min, const std::string &max) {
    return "\n\n\tModified dynamic scale : \n\t\tMin. = " + min + "\n\t\tMax. = " + max + " ";
}
inline const std::string out_unit_menu =
    "\n\n\tDynamic hypsometric scale out :\n\t\t0 ====> in meters"
    "\n\t\t1 ====> in decimeters\n\t\t2 ====> in centimeters"
    "\n\t\t3 ====> in millimeters\n\t\t";
inline const std::string utm = "\n\n\tUTM Coordinates : \n\t\tX_min ? \t\tY_min ? ";

} // namespace text
