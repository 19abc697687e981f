// The one place that spells the DEM file names: data root, separator and
// every suffix, and how names are joined into paths (Windows form).
#pragma once
#include <string>
#include <string_view>

inline constexpr std::string_view data_root = "c:\\images\\";
inline constexpr std::string_view folder_separator = "\\";

// Input raw raster and its descriptor, by sample width (itype 0: 16 bits;
// any other value: 32 bits).
std::string_view input_raw_suffix(int itype);
std::string_view input_descriptor_suffix(int itype);
inline constexpr std::string_view input_ascii_suffix = ".asc";

// Output raw raster and its descriptor (itype_out 0: 16 bits; other: 32 bits).
std::string_view output_raw_suffix(int itype_out);
std::string_view output_descriptor_suffix(int itype_out);
inline constexpr std::string_view output_ascii_suffix = "_new_base.asc";

// The output paths from the folder prefix and the output name, by form
// (format_out 0: ASCII grid; 1: raw raster of width itype_out): the data file
// and a raw raster's descriptor.
struct OutputPaths {
    std::string data, descriptor;
};
OutputPaths output_paths(std::string_view folder, std::string_view name, int format_out,
                         int itype_out);

// Files beside a raw output or a grid, named by its path with the extension
// replaced: the ESRI header and the coordinate system that GIS tools read.
inline constexpr std::string_view header_extension = ".hdr";
inline constexpr std::string_view projection_extension = ".prj";
std::string beside(std::string_view data_path, std::string_view extension);

// Bytes per sample for a sample-width answer: 2 for 0, 4 for any other.
int sample_bytes(int itype);

// The folder prefix: data root, folder name as typed, separator.
std::string folder_prefix(std::string_view folder);
