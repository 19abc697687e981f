// The shared hold on a folder's publishing lock, taken once the folder is mended.
#include "platform/pair_reading.hpp"

#include "platform/publish.hpp"

PairReading::PairReading(std::string_view dos_path) {
    const std::string folder = host::folder_of(host::host_path(dos_path));
    if (mend_folder(folder, error_)) lock_.emplace(folder, true);
}
