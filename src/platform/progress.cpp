// Progress lines: how far a pass has gone, shown on standard error's status
// line when it is a terminal.
#include "platform/progress.hpp"

#include <algorithm>
#include <limits>

#include "platform/console.hpp"

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto quiet_start = std::chrono::milliseconds(500); // passes shorter show nothing
constexpr auto redraw_gap = std::chrono::milliseconds(200);  // a few updates a second
constexpr std::uint64_t looks_per_pass = 4096;
constexpr std::uint64_t never = std::numeric_limits<std::uint64_t>::max();

// Whole per cents, rounded down: 100 only once the pass is through.
int percent_of(std::uint64_t done, std::uint64_t total) {
    if (done >= total) return 100;
    const std::uint64_t percent = total <= never / 100 ? done * 100 / total : done / (total / 100);
    return static_cast<int>(std::min<std::uint64_t>(percent, 99));
}
} // namespace

std::string progress_line(std::string_view what, std::uint64_t done, std::uint64_t total,
                          int columns) {
    const std::string head = "groundzero: ";
    const std::string tail = ": " + std::to_string(percent_of(done, total)) + "%";
    const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    // One byte, one column, and no byte a terminal would act on: what shows
    // beyond printable ASCII (a name's control or UTF-8 bytes) shows as '?'.
    std::string shown(what);
    for (char &c : shown)
        if (c < ' ' || c > '~') c = '?';
    std::string line = head + shown + tail;
    if (line.size() <= width) return line;
    // The end of what (the file name) says most: the front goes first.
    const std::string cut = "...";
    const std::size_t fixed = head.size() + cut.size() + tail.size();
    if (width <= fixed) return tail.substr(2).substr(0, width);
    return head + cut + shown.substr(shown.size() - (width - fixed)) + tail;
}

Progress::Progress(std::string what, std::uint64_t total, bool beside_own_line)
    : what_(std::move(what)), total_(total),
      stride_(std::max<std::uint64_t>(1, total / looks_per_pass)), start_(Clock::now()) {
    const bool shown = total > 0 && is_terminal(StdStream::err) &&
                       !(beside_own_line && is_terminal(StdStream::out));
    next_look_ = shown ? stride_ : never;
}

void Progress::finish() {
    next_look_ = never;
    erase_status_line();
}

void Progress::look() {
    next_look_ = done_ >= never - stride_ ? never : done_ + stride_;
    if (done_ >= total_) return; // the pass is through: the line would go at once
    const Clock::time_point now = Clock::now();
    if (now - start_ < quiet_start) return;
    if (status_line_drawn() && now - drawn_at_ < redraw_gap) return;
    const int percent = percent_of(done_, total_);
    if (status_line_drawn() && percent == drawn_percent_) return;
    draw_status_line(progress_line(what_, done_, total_, terminal_columns()));
    drawn_percent_ = percent;
    drawn_at_ = now;
}
