// File name suffixes and path joining.
#include "dem/dem_files.hpp"

std::string_view input_raw_suffix(int itype) {
    return itype == 0 ? "_m2.raw" : "_m4.raw";
}
std::string_view input_descriptor_suffix(int itype) {
    return itype == 0 ? "_m2.txt" : "_m4.txt";
}
std::string_view output_raw_suffix(int itype_out) {
    return itype_out == 0 ? "_new_base_m2.raw" : "_new_base_m4.raw";
}
std::string_view output_descriptor_suffix(int itype_out) {
    return itype_out == 0 ? "_new_base_m2.txt" : "_new_base_m4.txt";
}
OutputPaths output_paths(std::string_view folder, std::string_view name, int format_out,
                         int itype_out) {
    const std::string dem = std::string(folder) + std::string(name);
    if (format_out == 0) return {dem + std::string(output_ascii_suffix), {}};
    return {dem + std::string(output_raw_suffix(itype_out)),
            dem + std::string(output_descriptor_suffix(itype_out))};
}
std::string beside(std::string_view data_path, std::string_view extension) {
    const std::size_t name = data_path.rfind(folder_separator) + 1; // 0 without a folder
    const std::size_t dot = data_path.rfind('.');
    const bool has_extension = dot != std::string_view::npos && dot >= name;
    return std::string(data_path.substr(0, has_extension ? dot : data_path.size())) +
           std::string(extension);
}
int sample_bytes(int itype) {
    return itype == 0 ? 2 : 4;
}

std::string folder_prefix(std::string_view folder) {
    return std::string(data_root).append(folder).append(folder_separator);
}
