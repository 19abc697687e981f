// Whether an output fits on its disk, from the free space the host reports.
#include "platform/disk_space.hpp"

#include "platform/host.hpp"

namespace {
unsigned long long output_byte_limit = ~0ULL;
} // namespace

void limit_output_bytes(unsigned long long bytes) {
    output_byte_limit = bytes;
}

bool space_for(std::string_view dos_path, unsigned long long bytes, unsigned long long &available) {
    available = output_byte_limit;
    if (bytes > output_byte_limit) return false;
    available = 0;
    if (!host::free_space(host::folder_of(host::host_path(dos_path)), available)) return true;
    return bytes <= available;
}
