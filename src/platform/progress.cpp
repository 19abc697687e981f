// Progress lines and the closing list of files written, shown on standard
// error when it is a terminal.
#include "platform/progress.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

#include "platform/files.hpp"
#include "platform/terminal.hpp"

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto quiet_start = std::chrono::milliseconds(500); // passes shorter show nothing
constexpr auto redraw_gap = std::chrono::milliseconds(200);  // a few updates a second
constexpr std::uint64_t looks_per_pass = 4096;
constexpr std::uint64_t never = std::numeric_limits<std::uint64_t>::max();

// The streams stay where they are for the whole run: asked once.
bool terminal(StdStream stream) {
    static const bool answers[3] = {is_terminal(StdStream::in), is_terminal(StdStream::out),
                                    is_terminal(StdStream::err)};
    return answers[static_cast<int>(stream)];
}

// Whole per cents, rounded down: 100 only once the pass is through.
int percent_of(std::uint64_t done, std::uint64_t total) {
    if (done >= total) return 100;
    const std::uint64_t percent = total <= never / 100 ? done * 100 / total : done / (total / 100);
    return static_cast<int>(std::min<std::uint64_t>(percent, 99));
}

std::size_t drawn_length = 0;      // characters of the progress line on screen, 0 if none
bool prompt_line_has_text = false; // standard output's last screen line shows something
std::vector<std::string> written;  // host paths of the outputs complete, in their order

void to_stderr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void erase_line() {
    if (drawn_length == 0) return;
    std::string blank(drawn_length + 2, ' ');
    blank.front() = blank.back() = '\r';
    to_stderr(blank);
    drawn_length = 0;
}

bool has_visible(std::string_view text) {
    return text.find_first_not_of(" \t\r") != std::string_view::npos;
}
} // namespace

std::string progress_line(std::string_view what, std::uint64_t done, std::uint64_t total,
                          int columns) {
    const std::string head = "groundzero: ";
    const std::string tail = ": " + std::to_string(percent_of(done, total)) + "%";
    const std::size_t room = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    // One byte, one column, and no byte a terminal would act on: what shows
    // beyond printable ASCII (a name's control or UTF-8 bytes) shows as '?'.
    std::string shown(what);
    for (char &c : shown)
        if (c < ' ' || c > '~') c = '?';
    what = shown;
    std::string line = head + shown + tail;
    if (line.size() <= room) return line;
    // The end of what (the file name) says most: the front goes first.
    const std::string cut = "...";
    const std::size_t fixed = head.size() + cut.size() + tail.size();
    if (room <= fixed) return tail.substr(2).substr(0, room);
    return head + cut + std::string(what.substr(what.size() - (room - fixed))) + tail;
}

Progress::Progress(std::string what, std::uint64_t total, bool beside_own_line)
    : what_(std::move(what)), total_(total),
      stride_(std::max<std::uint64_t>(1, total / looks_per_pass)), start_(Clock::now()) {
    const bool shown =
        total > 0 && terminal(StdStream::err) && !(beside_own_line && terminal(StdStream::out));
    next_look_ = shown ? stride_ : never;
}

Progress::~Progress() {
    finish();
}

void Progress::finish() {
    next_look_ = never;
    erase_line();
}

void Progress::look() {
    next_look_ = done_ >= never - stride_ ? never : done_ + stride_;
    if (done_ >= total_) return; // the pass is through: the line would go at once
    const Clock::time_point now = Clock::now();
    if (now - start_ < quiet_start) return;
    if (drawn_length != 0 && now - drawn_at_ < redraw_gap) return;
    const int percent = percent_of(done_, total_);
    if (drawn_length != 0 && percent == drawn_percent_) return;
    const std::string line = progress_line(what_, done_, total_, terminal_columns());
    std::string text;
    // A prompt that ends mid-line (answers piped in, so no Enter was echoed)
    // keeps its line: the progress takes the next one.
    if (drawn_length == 0 && prompt_line_has_text && terminal(StdStream::out) &&
        !terminal(StdStream::in)) {
        text += "\n";
        prompt_line_has_text = false;
    }
    // Shorter than the line before: blanks cover what would be left of it.
    text += "\r" + line;
    if (line.size() < drawn_length) text += std::string(drawn_length - line.size(), ' ');
    std::fflush(stdout);
    to_stderr(text);
    drawn_length = std::max(drawn_length, line.size());
    drawn_percent_ = percent;
    drawn_at_ = now;
}

void progress_before_console_text(std::string_view stdout_text) {
    // Text that goes to a file leaves the screen alone: the line can stay.
    if (terminal(StdStream::out)) erase_line();
    const std::size_t last_break = stdout_text.rfind('\n');
    if (last_break != std::string_view::npos)
        prompt_line_has_text = has_visible(stdout_text.substr(last_break + 1));
    else if (has_visible(stdout_text))
        prompt_line_has_text = true;
}

void progress_before_error_text() {
    erase_line();
}

void note_file_written(std::string_view dos_path) {
    std::error_code ec;
    const std::filesystem::path host(host_path(dos_path));
    const std::filesystem::path full = std::filesystem::absolute(host, ec);
    written.push_back(ec ? host.string() : full.string());
}

void report_files_written() {
    if (!written.empty() && terminal(StdStream::err)) {
        erase_line();
        std::string line = "\ngroundzero: wrote ";
        for (std::size_t k = 0; k < written.size(); ++k)
            line += (k == 0 ? "" : ", ") + written[k];
        std::fflush(stdout);
        to_stderr(line + "\n");
    }
    forget_files_written();
}

void forget_files_written() {
    written.clear();
}
