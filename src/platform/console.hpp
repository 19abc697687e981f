// Console output that is visible at once, the status line of long passes,
// whether the standard streams reach a person (a terminal, or a console on
// Windows), and the single-key wait before the program ends on an error or a refusal.
#pragma once
#include <string_view>

enum class StdStream { in, out, err };

// True when the stream is a terminal (a console on Windows), not a file, pipe or
// nothing. The streams stay where they are for the whole run: asked once.
bool is_terminal(StdStream stream);

// Columns of the terminal on standard error; 80 when it can't tell.
int terminal_columns();

// Writes text to standard output and flushes it, so a prompt without a line
// feed is on screen before the answer is read.
void console_print(std::string_view text);

// From now on a failure to write standard output (a full disk, a closed or
// broken pipe) calls failed, once, with the C library's error number. A
// standard stream closed at the start is given a stand-in that fails every
// write, so that no file the program opens takes its place.
void watch_console(void (*failed)(int err));

// Flushes standard output, then writes text to standard error: failure
// messages of our own stay apart from the dialogue a script captures.
void console_error(std::string_view text);

// The status line: one line of standard error drawn in place over itself (a
// prompt that ends mid-line keeps its line), erased before any other console text.
void draw_status_line(std::string_view line);
void erase_status_line();
bool status_line_drawn();

// Gives each standard stream closed at the start a stand-in that fails every
// write (watch_console's; done on POSIX hosts only).
void stand_in_for_closed_streams();

// Waits for one key from the terminal itself (not from standard input),
// without echo, when standard input is a terminal: a person is answering.
// With answers from a pipe or a file, or without a terminal, it returns at
// once, so batches never block.
void key_wait();

// Puts the terminal back as it was if a key wait left it without echo; safe
// to call from a signal handler.
void console_restore_terminal();

// False in harnesses that run the stages where a terminal may be present.
extern bool key_wait_enabled;
