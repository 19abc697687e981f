// The descriptor reader on any bytes: never more than six fields, and the
// fields after the first one it could not read keep their values.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "dem/descriptor.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::FILE *f = fmemopen(const_cast<std::uint8_t *>(data), size, "rb");
    if (size == 0) f = std::tmpfile();
    if (f == nullptr) return 0;
    const int sentinel = 0x5EED;
    int v[6] = {sentinel, sentinel, sentinel, sentinel, sentinel, sentinel};
    int *const fields[6] = {&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]};
    const int read = read_descriptor(f, fields);
    std::fclose(f);
    if (read < 0 || read > 6) std::abort();
    for (int k = read; k < 6; ++k)
        if (v[k] != sentinel) std::abort();
    return 0;
}
