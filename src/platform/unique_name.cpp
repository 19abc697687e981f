// Names for unfinished outputs that no neighbour can guess or share.
#include <chrono>
#include <cstdint>

#include "platform/host.hpp"

namespace host {
std::string unique_name(std::string_view ending) {
    static std::uint64_t counter = 0;
    std::uint64_t bits = 0;
    if (!random_source(&bits, sizeof bits))
        bits = static_cast<std::uint64_t>(
                   std::chrono::steady_clock::now().time_since_epoch().count()) *
                   0x9E3779B97F4A7C15ULL +
               ++counter;
    std::string name = "groundzero-" + std::to_string(process_id()) + "-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += "0123456789abcdef"[(bits >> shift) & 0xF];
    return name.append(ending);
}
} // namespace host
