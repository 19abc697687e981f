// The base-level stage: range and count of the minimum, the replacement
// question, the base level, and the output elevations, every lower cell raised to it.
#include <climits>
#include <cstdint>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "dem/number_text.hpp"
#include "grid/grid_alloc.hpp"
#include "platform/console.hpp"

namespace {
// Where the minimum search starts: a value this high or higher is never a minimum.
constexpr double search_start = 1.0e7;
} // namespace

// Reads the input elevations (dtab_in, or jtab with sample_metres); reports,
// asks, and on yes sets the output ones (dtab_out or sample_metres_out) and
// runs the output dialogue. Cells that hold no number (NaN) take part in no comparison, so
// they are never the minimum, never counted, never the base level, never raised.
void treatment() {
    say("\n\n\tTreatment\n\n");

    // One pass finds the range, counts the cells at the minimum and finds the
    // base level (asked for only later): the count restarts whenever a new
    // minimum appears, so it ends as the count of cells equal to the final one.
    double dtab_min_in = search_start, dtab_max_in = 0.0, new_dtab_min_in = search_start;
    std::uint64_t num_min = 0;
    for_each_input_elevation([&](double v, std::uint64_t cells) {
        if (dtab_min_in > v) {
            dtab_min_in = v;
            num_min = 0;
        }
        if (v == dtab_min_in) num_min += cells;
        if (dtab_max_in < v) dtab_max_in = v;
        if (v > 0.0 && new_dtab_min_in > v) new_dtab_min_in = v;
    });
    std::string text = "\n\tRecalculated altitude value of the original DEM : ";
    text += "\n\t\tMin = ";
    append_lf(text, dtab_min_in);
    text += "   Max. = ";
    append_lf(text, dtab_max_in);
    text += " ";
    say(text);

    text = "\n\n\tnumber of pixels with min value = ";
    append_d(text, static_cast<long long>(num_min)); // below 2^62: lines x columns
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

    const auto raise = [new_dtab_min_in](double v) {
        return v < new_dtab_min_in ? new_dtab_min_in : v;
    };
    if (!sample_metres.empty()) {
        sample_metres_out.resize(sample_metres.size());
        for (std::size_t s = 0; s < sample_metres.size(); ++s)
            sample_metres_out[s] = raise(sample_metres[s]);
    } else {
        dtab_out = obtain_grid(dmatrice, "output grid");
        const int lines = grid_has_cells() ? nb_lig : 0;
        for (int i = 0; i < lines; ++i) {
            const double *in = dtab_in[i];
            double *out = dtab_out[i];
            for (int j = 0; j < nb_col; ++j)
                out[j] = raise(in[j]);
        }
    }
    say("\n\n\tDigital Elevation Model transformed");
    output_dialogue();
}
