// The ASCII grid reader on any bytes: its first pass reads a grid of exactly
// the header's size or ends the run with status 1, and the second pass then
// gives every cell again, never touching memory it doesn't own.
#include <cstdint>
#include <cstdlib>

#include "dem/elevation_blocks.hpp"
#include "harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    quiet_harness();
    std::FILE *text = std::tmpfile(); // a file that can be read twice
    if (text == nullptr) return 0;
    if (std::fwrite(data, 1, size, text) != size || std::fflush(text) != 0) std::abort();
    std::rewind(text);
    f1.adopt(text);
    nomim1 = "c:\\images\\f\\a.asc";
    open_ascii_OK = true;
    int status = run_stage(ascii_lecture);
    if (status != -1 && status != 1) std::abort();
    if (status == -1) {
        unsigned long long cells = 0;
        double sum = 0;
        status = run_stage([&] {
            for_each_block<double>([](double v) { return v; },
                                   [&](const double *v, std::size_t n) {
                                       cells += n;
                                       for (std::size_t k = 0; k < n; ++k)
                                           sum += v[k] == 0.0; // ASan checks the block is whole
                                   });
        });
        if (status != -1 || cells != grid_cells() || sum < 0) std::abort();
    }
    reset_state();
    return 0;
}
