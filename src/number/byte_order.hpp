// Raw samples are little-endian on disk: on a host that stores numbers the
// other way round their bytes are swapped in place, one swap for either way.
#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>

template <class T>
void swap_little_endian([[maybe_unused]] T *samples, [[maybe_unused]] std::size_t n) {
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t k = 0; k < n; ++k) {
            auto *const bytes = reinterpret_cast<unsigned char *>(samples + k);
            std::reverse(bytes, bytes + sizeof(T));
        }
}
