// Questions read from standard input word by word, like formatted reads, the
// early endings, and the list of files written.
#include "run/ask.hpp"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "number/number_text.hpp"
#include "platform/console.hpp"
#include "platform/disk_space.hpp"
#include "platform/streams.hpp"
#include "platform/unfinished_outputs.hpp"
#include "run/state.hpp"
#include "run/text_reader.hpp"

void (*run_end_hook)(int status) = nullptr;

namespace {
std::vector<std::string> written; // host paths of the outputs complete, in their order
std::FILE *answer_source = stdin;
std::unique_ptr<TextReader> answer_reader; // made at the first question

TextReader &answers() {
    if (!answer_reader) answer_reader = std::make_unique<TextReader>(answer_source, true);
    return *answer_reader;
}

// The next word of the answers; fails when standard input has ended.
std::string_view next_word(std::string_view what) {
    std::string_view w = answers().peek_word();
    if (w.empty()) fail("end of input: no answer for " + std::string(what));
    return w;
}

// Asks until the answer read as parse reads it ("%d" or "%lf") is a number
// that in_range takes. Like a formatted read, the number is taken from the
// front of the word and the rest waits for the next question; a word that
// starts with no number is dropped.
template <class Parse, class InRange>
auto ask_number(std::string_view prompt, std::string_view what, Parse parse, InRange in_range) {
    for (;;) {
        console_print(prompt);
        const std::string_view w = next_word(what);
        const auto p = parse(w);
        answers().consume(p.used != 0 ? p.used : w.size());
        if (p.used != 0 && in_range(p.value)) return p.value;
    }
}
} // namespace

void use_answers(std::FILE *source) {
    answer_source = source;
    answer_reader.reset(); // nothing read ahead from the old source carries over
}

void end_run(int status) {
    stream_flush(stdout);
    report_files_written();
    if (run_end_hook != nullptr) run_end_hook(status);
    end_process(status);
}

std::string ask_word(std::string_view what) {
    const std::string_view w = next_word(what);
    answers().consume(w.size());
    // Names are C strings: a NUL byte typed in one ends it there.
    return std::string(w.substr(0, w.find('\0')));
}

int ask_int(std::string_view prompt, int low, int high, std::string_view what) {
    return ask_number(prompt, what, parse_int_prefix, [&](int v) { return v >= low && v <= high; });
}

int ask_unit(std::string_view title, std::string_view what) {
    return ask_int(std::string(title) +
                       "\n\t\t0 ====> in meters\n\t\t1 ====> in decimeters"
                       "\n\t\t2 ====> in centimeters\n\t\t3 ====> in millimeters\n\t\t",
                   0, 3, what);
}

double ask_double(std::string_view prompt, std::string_view what) {
    return ask_number(prompt, what, parse_double_prefix, [](double) { return true; });
}

void end_missing_input(const std::string &path) {
    say("\n File %s unknown\n", path);
    key_wait();
    end_run(0);
}

void fail(std::string_view message) {
    discard_all_outputs();
    console_error("\ngroundzero: ");
    console_error(message);
    console_error("\n");
    end_run(1);
}

void require_space(const std::string &path, unsigned long long cells, unsigned bytes_per_cell,
                   bool at_least) {
    // Beyond 64 bits of bytes no disk has the space: the count stops at the largest.
    const unsigned long long bytes =
        cells > ULLONG_MAX / bytes_per_cell ? ULLONG_MAX : cells * bytes_per_cell;
    unsigned long long available = 0;
    if (space_for(path, bytes, available)) return;
    fail(format_text(
        "not enough room on the disk for %s: %s bytes needed%s, %s available",
        {path, std::to_string(bytes), at_least ? " at the least" : "", std::to_string(available)}));
}

void fail_console(int err) {
    fail("cannot write to standard output (" + host::error_text(err) + ")");
}

void publish(std::initializer_list<OutFile *> files) {
    const OutFile *failed = nullptr;
    if (!commit_outputs(files, &failed))
        fail("cannot write " + failed->name() + " (" + failed->error() + ")");
    for (const OutFile *f : files)
        if (!f->left_behind().empty())
            console_error("\ngroundzero: the older file " + f->left_behind() +
                          " could not be removed\n");
}

void fail_out_of_memory() {
    fail("not enough memory to go on");
}

void note_file_written(std::string_view dos_path) {
    std::error_code ec;
    const std::filesystem::path host(host::host_path(dos_path));
    const std::filesystem::path full = std::filesystem::absolute(host, ec);
    written.push_back(ec ? host.string() : full.string());
}

void report_files_written() {
    if (!written.empty() && is_terminal(StdStream::err)) {
        std::string line = "\ngroundzero: wrote ";
        for (std::size_t k = 0; k < written.size(); ++k)
            line += (k == 0 ? "" : ", ") + written[k];
        console_error(line + "\n");
    }
    forget_files_written();
}

void forget_files_written() {
    written.clear();
}
