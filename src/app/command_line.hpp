// The command line: the program is started with no argument, or asked for its
// help or its version.
#pragma once

// Handles the arguments: -1 when there are none and the dialogue is to run;
// otherwise the exit status, once the help, the version or what is wrong with
// an argument is printed (0 for --help and --version, 2 for anything else).
// Help or version text that can't be written ends the program with status 1.
int command_line(int argc, const char *const *argv);
