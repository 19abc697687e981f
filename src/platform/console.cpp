// Console output on the standard streams, and the status line that a long
// pass shows on standard error and erases before any other console text.
#include "platform/console.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/streams.hpp"

bool key_wait_enabled = true;

namespace {
void (*console_failed)(int err) = nullptr;

std::size_t drawn_length = 0;      // characters of the status line on screen, 0 if none
bool prompt_line_has_text = false; // standard output's last screen line shows something

void to_stderr(std::string_view text) {
    stream_write(stderr, text);
    stream_flush(stderr);
}

bool has_visible(std::string_view text) {
    return text.find_first_not_of(" \t\r") != std::string_view::npos;
}

// Erases the status line first where the text goes to the screen, and keeps
// track of whether the screen line it ends on shows anything, so a later
// status line never overwrites a prompt.
void before_console_text(std::string_view stdout_text) {
    // Text that goes to a file leaves the screen alone: the line can stay.
    if (is_terminal(StdStream::out)) erase_status_line();
    const std::size_t last_break = stdout_text.rfind('\n');
    const bool visible = has_visible(stdout_text.substr(last_break + 1)); // npos + 1: all of it
    if (visible || last_break != std::string_view::npos) prompt_line_has_text = visible;
}
} // namespace

void watch_console(void (*failed)(int err)) {
    stand_in_for_closed_streams();
    console_failed = failed;
}

void console_print(std::string_view text) {
    before_console_text(text);
    const bool written = stream_write(stdout, text);
    // Once: the failure's own message goes to standard error.
    if ((!stream_flush(stdout) || !written) && console_failed != nullptr)
        std::exchange(console_failed, nullptr)(errno);
}

void console_error(std::string_view text) {
    stream_flush(stdout);
    erase_status_line();
    to_stderr(text);
}

void draw_status_line(std::string_view line) {
    std::string text;
    // A prompt that ends mid-line (answers piped in, so no Enter was echoed)
    // keeps its line: the status line takes the next one.
    if (drawn_length == 0 && prompt_line_has_text && is_terminal(StdStream::out) &&
        !is_terminal(StdStream::in)) {
        text += "\n";
        prompt_line_has_text = false;
    }
    // Shorter than the line before: blanks cover what would be left of it.
    text.append("\r").append(line);
    if (line.size() < drawn_length) text += std::string(drawn_length - line.size(), ' ');
    stream_flush(stdout);
    to_stderr(text);
    drawn_length = std::max(drawn_length, line.size());
}

void erase_status_line() {
    if (drawn_length == 0) return;
    std::string blank(drawn_length + 2, ' ');
    blank.front() = blank.back() = '\r';
    to_stderr(blank);
    drawn_length = 0;
}

bool status_line_drawn() {
    return drawn_length != 0;
}
