// What a long run shows a person at a terminal, on standard error only: how
// far each pass over the data has gone.
// When standard error is not a terminal nothing at all is shown, so scripts
// and logs see what they always saw; standard output is never touched.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// The progress of one pass over total units (cells, lines), on one line
// updated in place a few times a second, from half a second into the pass on
// (shorter passes show nothing). The line goes when the pass ends or before
// any other console text.
class Progress {
  public:
    // what says what is being done ("reading c:\images\dems\site_m2.raw").
    // Stages that print an in-place line of their own on standard output set
    // beside_own_line: nothing is then shown while that is a terminal too, as
    // both would fight over one line of the screen.
    Progress(std::string what, std::uint64_t total, bool beside_own_line = false);
    ~Progress() { finish(); }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // The pass is over: the line goes now rather than at the end of the scope.
    void finish();

    // more units are done. Cheap: the clock is read only every few thousandths of the pass.
    void advance(std::uint64_t more) {
        done_ += more;
        if (done_ >= next_look_) look();
    }

  private:
    void look();

    std::string what_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::uint64_t next_look_; // done_ at which the clock is read again
    std::uint64_t stride_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point drawn_at_;
    int drawn_percent_ = -1;
};

// The text of a progress line: what, then how far in per cent, cut at the
// front to fit columns - 1 characters (so the terminal never wraps it).
std::string progress_line(std::string_view what, std::uint64_t done, std::uint64_t total,
                          int columns);
