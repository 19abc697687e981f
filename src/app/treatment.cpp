// The base-level stage: range and count of the minimum, the replacement
// question, and the base level that every lower cell is raised to.
#include <climits>

#include "number/figures.hpp"
#include "platform/console.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

// Reads input_figures (gathered while the input was read); reports, asks, and
// on yes sets new_dtab_min_in, the base level the output elevations are
// raised to, and runs the output dialogue. Cells that hold no number (NaN)
// take part in no comparison, so they are never the minimum, never counted,
// never the base level, never raised.
void treatment() {
    say("\n\n\tTreatment\n\n");

    const ElevationFigures &in = input_figures;
    say("\n\tRecalculated altitude value of the original DEM : ");
    say("\n\t\tMin = %lf   Max. = %lf ", in.min, in.max);
    say("\n\n\tnumber of pixels with min value = %d ", in.min_cells);

    say("\n\n\tReplace this null value with the minimum hypsometric");
    say("\n\tvalue of the MDE which is greater than zero");
    const int repair = ask_int("\n\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t", INT_MIN, 1,
                               "the replacement question");
    if (repair == 1) {
        say("\n\n\tNot any modification ");
        key_wait();
        end_run(0);
    }
    if (repair != 0) return;

    new_dtab_min_in = in.base;
    say("\n\n\tRecalculated minimum altitude value = %lf ", new_dtab_min_in);
    // The texts and files stay as they are; a batch user is told why every cell changes.
    if (grid_has_cells() && !(new_dtab_min_in < search_start))
        console_error("\ngroundzero: warning: no elevation lies above 0 m and below 10000000 m; "
                      "the base level is the search start, 10000000 m, and every cell below it "
                      "is raised to it\n");
    say("\n\n\tDigital Elevation Model transformed");
    output_dialogue();
}
