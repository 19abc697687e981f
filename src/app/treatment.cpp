// The base-level stage: range and count of the minimum, the replacement
// question, the base level, and dtab_out with every lower cell raised to it.
#include <climits>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "dem/number_text.hpp"
#include "grid/grid_alloc.hpp"
#include "platform/console.hpp"

namespace {
// Where the minimum search starts: a value this high or higher is never a minimum.
constexpr double search_start = 1.0e7;
} // namespace

// Reads dtab_in; reports, asks, and on yes sets dtab_out and runs the output
// dialogue. Cells that hold no number (NaN) take part in no comparison, so
// they are never the minimum, never counted, never the base level, never raised.
void treatment() {
    say("\n\n\tTreatment\n\n");
    const int lines = grid_has_cells() ? nb_lig : 0;

    // One pass finds the range, counts the cells at the minimum and finds the
    // base level (asked for only later): the count restarts whenever a new
    // minimum appears, so it ends as the count of cells equal to the final one.
    double dtab_min_in = search_start, dtab_max_in = 0.0, new_dtab_min_in = search_start;
    long long num_min = 0;
    for (int i = 0; i < lines; ++i) {
        const double *row = dtab_in[i];
        for (int j = 0; j < nb_col; ++j) {
            const double v = row[j];
            if (dtab_min_in > v) {
                dtab_min_in = v;
                num_min = 0;
            }
            num_min += v == dtab_min_in;
            if (dtab_max_in < v) dtab_max_in = v;
            if (v > 0.0 && new_dtab_min_in > v) new_dtab_min_in = v;
        }
    }
    std::string text = "\n\tRecalculated altitude value of the original DEM : ";
    text += "\n\t\tMin = ";
    append_lf(text, dtab_min_in);
    text += "   Max. = ";
    append_lf(text, dtab_max_in);
    text += " ";
    say(text);

    text = "\n\n\tnumber of pixels with min value = ";
    append_d(text, num_min);
    text += " ";
    say(text);

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

    text = "\n\n\tRecalculated minimum altitude value = ";
    append_lf(text, new_dtab_min_in);
    text += " ";
    say(text);

    dtab_out = obtain_grid(dmatrice, "output grid");
    for (int i = 0; i < lines; ++i) {
        const double *in = dtab_in[i];
        double *out = dtab_out[i];
        for (int j = 0; j < nb_col; ++j)
            out[j] = in[j] < new_dtab_min_in ? new_dtab_min_in : in[j];
    }
    say("\n\n\tDigital Elevation Model transformed");
    output_dialogue();
}
