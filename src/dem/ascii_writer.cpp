// The ASCII grid writer: header, then every output elevation as "%lf\t", the
// whole body on one text line.
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/ask.hpp"
#include "app/elevations.hpp"
#include "app/state.hpp"
#include "dem/figures.hpp"
#include "dem/number_text.hpp"
#include "dem/text_format.hpp"

namespace {
// The "%lf\t" texts of n cells at out; returns their end.
char *put_cells(const double *cells, std::size_t n, char *out) {
    for (std::size_t k = 0; k < n; ++k)
        out = put_lf_tab(out, cells[k]);
    return out;
}

// The longest text of a cell below 2^33 in magnitude (or no number at all),
// with its tab: "-8589934591.999999\t".
constexpr std::size_t short_text = 19;

bool all_short(const double *cells, std::size_t n) {
    bool is_short = true;
    for (std::size_t k = 0; k < n; ++k)
        is_short &= !(std::fabs(cells[k]) >= 0x1p33);
    return is_short;
}

// A second thread that makes the text of the second half of a block while
// the caller makes the first. None where a thread can't be had (a tight
// address-space limit): the caller then makes the whole text alone.
class TextHelper {
  public:
    TextHelper() {
        try {
            thread_ = std::thread([this] { serve(); });
        } catch (const std::system_error &) {
        }
    }
    ~TextHelper() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    TextHelper(const TextHelper &) = delete;
    TextHelper &operator=(const TextHelper &) = delete;

    bool available() const { return thread_.joinable(); }
    void start(const double *cells, std::size_t n, char *out) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            cells_ = cells;
            n_ = n;
            out_ = out;
            busy_ = true;
        }
        wake_.notify_all();
    }
    // The end of the text once made.
    char *finish() {
        std::unique_lock<std::mutex> hold(lock_);
        done_.wait(hold, [this] { return !busy_; });
        return end_;
    }

  private:
    void serve() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            wake_.wait(hold, [this] { return busy_ || stop_; });
            if (!busy_) return;
            hold.unlock();
            char *end = put_cells(cells_, n_, out_);
            hold.lock();
            end_ = end;
            busy_ = false;
            done_.notify_all();
        }
    }

    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    const double *cells_ = nullptr;
    std::size_t n_ = 0;
    char *out_ = nullptr, *end_ = nullptr;
    bool busy_ = false, stop_ = false;
};
} // namespace

// Reads nb_col, nb_lig, open_ascii_OK, X_min, Y_min, dpix_size, new_dtab_min_in and the
// input elevations; asks the corner when the input was a raw raster; writes and completes f2.
void ascii_saving() {
    f2.write_text(format_text("ncols %d\nnrows %d\n", {nb_col, nb_lig}));
    if (!open_ascii_OK) {
        say("\n\n\tUTM Coordinates : ");
        X_min = ask_double("\n\t\tX_min ? ", "the X_min coordinate");
        Y_min = ask_double("\t\tY_min ? ", "the Y_min coordinate");
    }
    f2.write_text(
        format_text("xllcorner %lf\nyllcorner %lf\ncellsize %lf\n", {X_min, Y_min, dpix_size}));
    f2.write_text("nodata_value -9999.9999\n");

    // The body holds no line feed, so its text goes to the file as it is made,
    // in blocks of about 1 MiB; large blocks of short texts are made in two
    // halves at once, on both processors, and written in their order.
    constexpr std::size_t block = std::size_t{1} << 20;
    constexpr std::size_t two_way = 8192; // cells: smaller blocks aren't worth a hand-over
    std::vector<char> text(block + lf_max_chars + 1);
    std::vector<char> first, second;
    std::unique_ptr<TextHelper> helper;
    char *end = text.data();
    const double base = new_dtab_min_in;
    for_each_block<double>(
        [base](double v) { return raised(v, base); },
        [&](const double *cells, std::size_t n) {
            if (n >= two_way && all_short(cells, n)) {
                if (!helper) {
                    helper = std::make_unique<TextHelper>();
                    first.resize((block_cells / 2 + 1) * short_text);
                    second.resize((block_cells / 2 + 1) * short_text);
                }
                if (helper->available()) {
                    f2.write(text.data(), static_cast<std::size_t>(end - text.data()));
                    end = text.data();
                    const std::size_t half = n / 2;
                    helper->start(cells + half, n - half, second.data());
                    char *first_end = put_cells(cells, half, first.data());
                    char *second_end = helper->finish();
                    f2.write(first.data(), static_cast<std::size_t>(first_end - first.data()));
                    f2.write(second.data(), static_cast<std::size_t>(second_end - second.data()));
                    return;
                }
            }
            for (std::size_t k = 0; k < n; ++k) {
                end = put_lf_tab(end, cells[k]);
                if (static_cast<std::size_t>(end - text.data()) >= block) {
                    f2.write(text.data(), static_cast<std::size_t>(end - text.data()));
                    end = text.data();
                }
            }
        });
    f2.write(text.data(), static_cast<std::size_t>(end - text.data()));
    helper.reset();
    finish_input();
    if (!f2.commit()) fail("cannot write " + f2.name() + " (" + f2.error() + ")");
}
