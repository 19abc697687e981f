// Whether the standard streams reach a person: a terminal, or a console on
// Windows; and how wide the one on standard error is.
#pragma once

enum class StdStream { in, out, err };

// True when the stream is a terminal (a console on Windows), not a file, pipe or
// nothing. The streams stay where they are for the whole run: asked once.
bool is_terminal(StdStream stream);

// Columns of the terminal on standard error; 80 when it can't tell.
int terminal_columns();
