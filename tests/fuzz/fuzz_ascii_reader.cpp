// The ASCII grid reader on any bytes: it loads a grid of exactly the header's
// size or ends the run with status 1, and never touches memory it doesn't own.
#include <cstdint>
#include <cstdlib>

#include "harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    quiet_harness();
    std::FILE *text =
        size == 0 ? std::tmpfile() : fmemopen(const_cast<std::uint8_t *>(data), size, "rb");
    if (text == nullptr) return 0;
    f1.adopt(text);
    nomim1 = "c:\\images\\f\\a.asc";
    const int status = run_stage(ascii_lecture);
    if (status != -1 && status != 1) std::abort();
    if (status == -1 && grid_has_cells()) {
        // Every cell was read: touch them all (ASan checks the rows are whole).
        double sum = 0;
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j)
                sum += dtab_in[i][j] == 0.0;
        if (sum < 0) std::abort();
    }
    reset_state();
    return 0;
}
