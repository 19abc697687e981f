// The ASCII grid writer: header, then every output elevation as "%lf\t", the
// whole body on one text line.
#include <climits>
#include <string>
#include <vector>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "dem/number_text.hpp"

// Reads nb_col, nb_lig, open_ascii_OK, X_min, Y_min, dpix_size and the output elevations;
// asks the corner when the input was a raw raster; writes and completes f2.
void ascii_saving() {
    std::string text = "ncols ";
    append_d(text, nb_col);
    text += "\nnrows ";
    append_d(text, nb_lig);
    text += "\n";
    f2.write_text(text);

    if (!open_ascii_OK) {
        say("\n\n\tUTM Coordinates : ");
        X_min = ask_double("\n\t\tX_min ? ", "the X_min coordinate");
        Y_min = ask_double("\t\tY_min ? ", "the Y_min coordinate");
    }
    text = "xllcorner ";
    append_lf(text, X_min);
    text += "\nyllcorner ";
    append_lf(text, Y_min);
    text += "\ncellsize ";
    append_lf(text, dpix_size);
    text += "\nnodata_value -9999.9999\n";
    f2.write_text(text);

    // The body holds no line feed, so it is written as it stands, in large
    // blocks. A 16-bit input has the text of each sample value made once.
    std::string texts;
    std::vector<std::size_t> text_at(sample_metres_out.size() + 1, 0);
    for (std::size_t s = 0; s < sample_metres_out.size(); ++s) {
        text_at[s] = texts.size();
        if (sample_cells[s] != 0) {
            append_lf(texts, sample_metres_out[s]);
            texts += '\t';
        }
    }
    text_at.back() = texts.size();
    constexpr std::size_t block = std::size_t{1} << 20;
    std::string body;
    body.reserve(block + 512);
    const int lines = grid_has_cells() ? nb_lig : 0;
    for (int i = 0; i < lines; ++i) {
        for (int j = 0; j < nb_col; ++j) {
            if (!sample_metres_out.empty()) {
                const unsigned short s = jtab[i][j];
                body.append(texts, text_at[s], text_at[s + 1] - text_at[s]);
            } else {
                append_lf(body, dtab_out[i][j]);
                body += '\t';
            }
            if (body.size() >= block) {
                f2.write(body.data(), body.size());
                body.clear();
            }
        }
    }
    f2.write(body.data(), body.size());
    if (!f2.commit()) fail("cannot write " + f2.name() + " (" + f2.error() + ")");
}
