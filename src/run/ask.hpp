// The dialogue's questions, the program's ways of ending early, and the list of
// outputs a run completes, named to a person at a terminal at its end.
#pragma once
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "number/text_format.hpp"
#include "platform/console.hpp"
#include "platform/out_file.hpp"

// The menus asked on both the input and the output side.
inline constexpr const char *format_menu =
    "\n\n\tFormat Type :\n\t\t0 ====> ascii\n\t\t1 ====> raster\n\t\t";
inline constexpr const char *raster_type_menu =
    "\n\ttype of DEM raster :\n\t\t0 ====> 16 bits\n\t\t1 ====> 32 bits\n\t\t";

// Asks the unit of raster samples under title, again for an answer outside 0..3.
int ask_unit(std::string_view title, std::string_view what);

// Prints a console text at once, its "%d", "%lf" and "%s" replaced by args
// as printf would write them.
template <class... Args> void say(std::string_view format, const Args &...args) {
    console_print(format_text(format, {TextArg(args)...}));
}

// "%s": one word. what names the answer for the end-of-input message.
std::string ask_word(std::string_view what);

// Prints prompt and reads "%d", again (prompt included) for an answer that is
// not a number or lies outside low..high.
int ask_int(std::string_view prompt, int low, int high, std::string_view what);

// Prints prompt and reads "%lf", again for an answer that is not a number.
double ask_double(std::string_view prompt, std::string_view what);

// Ends the program with status. Harnesses that run the stages in one process
// set run_end_hook to a function that unwinds to them instead (it must not return).
[[noreturn]] void end_run(int status);
extern void (*run_end_hook)(int status);

// Reads the answers from source from now on (standard input by default).
void use_answers(std::FILE *source);

// The input file is missing: the message, one key, exit status 0.
[[noreturn]] void end_missing_input(const std::string &path);

// A failure with no way on: the message on standard error, every output not yet
// complete removed (older files of those names stay as they were), exit status 1.
[[noreturn]] void fail(std::string_view message);

// Fails, before a byte is written, when the volume of path has not space for
// cells of bytes_per_cell bytes each ("at the least" when that is a lower bound).
void require_space(const std::string &path, unsigned long long cells, unsigned bytes_per_cell,
                   bool at_least);

// Standard output can't be written (err): fails with a message on standard
// error; outputs already published stay.
[[noreturn]] void fail_console(int err);

// Publishes files (see commit_outputs), or fails naming the one that failed.
void publish(std::initializer_list<OutFile *> files);

// Memory ran out where no size can be named: fail with the out-of-memory
// message, allocating nothing.
[[noreturn]] void fail_out_of_memory();

// An output complete under dos_path (its Windows form): named at the end of the run.
void note_file_written(std::string_view dos_path);
// At the end of a run that wrote files: one line naming them with their host
// paths, on standard error when it is a terminal only. The list is emptied either way.
void report_files_written();
// Empties the list without a word (harnesses that run the stages many times).
void forget_files_written();
