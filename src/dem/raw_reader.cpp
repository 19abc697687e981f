// The raw raster reader: one pass over the samples of f1 for their range and
// figures, the unit question, and the completion of a created descriptor. The
// samples are read again, block by block, for the output.
#include "dem/descriptor.hpp"
#include "number/extended_arith.hpp"
#include "number/figures.hpp"
#include "platform/console.hpp"
#include "platform/progress.hpp"
#include "run/ask.hpp"
#include "run/input_passes.hpp"
#include "run/state.hpp"

// Reads nb_lig, nb_col, itype, descr_OK, dpix_size, nomim2 and f1; sets
// dyn_scale and input_figures, and completes and closes a created descriptor f1d.
void dem_lecture() {
    make_sample_block();
    prepare_input_passes();

    SampleFigures samples;
    Progress progress("reading " + nomim1, grid_cells());
    start_samples();
    while (const std::size_t n = next_samples()) {
        if (itype == 0)
            add_samples(samples, short_samples(), n);
        else
            add_samples(samples, wide_samples(), n);
        progress.advance(n);
        // Beyond the end of a short file every cell is 0: no need to go through them.
        if (samples_past_file_end()) {
            add_zero_samples(samples, samples_left());
            break;
        }
    }
    progress.finish();
    // The range starts at 1000000 and 0, so it never passes them inward.
    constexpr int range_start = 1000000;
    const int min =
        samples.cells != 0 && samples.smallest < range_start ? samples.smallest : range_start;
    const int max = samples.cells != 0 && samples.largest > 0 ? samples.largest : 0;
    say("\n\n\tInput hypsometric dynamic scale:\n\t\tMin = %d\n\t\tMax = %d ", min, max);

    // An answer below 0 is asked again too: it would leave every cell at 0.
    dyn_scale = ask_unit("\n\n\tAre these values", "the unit of the values");
    input_figures = figures_of_samples(samples, input_unit());

    if (!descr_OK && f1d.is_open()) {
        f1d.write_text(descriptor_range(min, max, pixel_size_metres(dpix_size)));
        if (!f1d.commit())
            console_error("\ngroundzero: the descriptor " + f1d.name() + " could not be written (" +
                          f1d.error() + ")\n");
        else if (f1d.kept_existing())
            console_error("\ngroundzero: a descriptor " + f1d.name() +
                          " appeared meanwhile; it is kept as it is\n");
        else
            note_file_written(f1d.name());
    }
}
