// Scripted runs of the groundzero executable: a fresh working folder holding
// the images/ tree, answers on standard input, the console text, the exit
// status and the files afterwards.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct RunResult {
    std::string out; // standard output: the dialogue
    std::string err; // standard error: failure messages
    int status = -1; // exit status; -1 if killed or hung
    int signal = 0;  // the signal that ended the program, 0 if it exited
    bool hung = false;
    std::string terminal; // what the pseudo-terminal showed, when one was asked for
    long long ms = 0;     // how long the run took
};

// Where the program's standard output goes.
enum class ConsoleOut {
    file,        // a file the run's out is read from
    full_disk,   // /dev/full: every write fails with ENOSPC
    broken_pipe, // a pipe whose reader has gone
    closed       // no standard output at all
};

struct RunLimits {
    long long address_space = 0;           // bytes; 0 = no limit
    long long file_size = 0;               // bytes; 0 = no limit
    bool unprivileged = false;             // run as nobody when the tests run as root, so
                                           // folder permissions apply
    unsigned user = 65534;                 // the user id an unprivileged run takes
    int umask = -1;                        // the run's umask; -1: the test's own
    std::vector<std::string> wrapper = {}; // a command the program runs under ("strace", ...)
    std::vector<std::string> env = {};     // NAME=value settings added to the environment
    int signal_on_output = 0;              // sent to the program once an unfinished output
                                           // ("groundzero-...part") appears below images/
    // With pause_at set, the answers reach the program through a pipe: once its
    // console shows pause_at, at_pause runs, then answers_after_pause follow.
    std::string pause_at = {};
    std::function<void()> at_pause = {};
    std::string answers_after_pause = {};
    std::vector<std::string> args = {}; // the program's arguments
    // Standard output or error on a raw pseudo-terminal (not a controlling one), not a file.
    bool stdout_on_terminal = false;
    bool stderr_on_terminal = false;
    // A controlling terminal (a pseudo-terminal, as a terminal window gives), on
    // which one key is typed key_after_ms into the run; with answers_typed the
    // answers are typed there too (standard input on it), not read from a file.
    bool controlling_terminal = false;
    bool answers_typed = false;
    int key_after_ms = 0;
    ConsoleOut console = ConsoleOut::file;
};

class Workdir {
  public:
    Workdir();
    ~Workdir();
    Workdir(const Workdir &) = delete;
    Workdir &operator=(const Workdir &) = delete;

    const std::string &root() const { return root_; }
    // rel is relative to the folder that stands for drive C:, e.g. "images/d/a_m2.raw".
    void write(const std::string &rel, std::string_view bytes) const;
    std::string read(const std::string &rel) const;
    bool exists(const std::string &rel) const;
    void remove(const std::string &rel) const;
    void make_folder(const std::string &rel) const;
    // Makes a folder read-only (or writable again).
    void set_read_only(const std::string &rel, bool read_only) const;
    // Takes every permission away from a file (the clean-up gives them back).
    void set_unreadable(const std::string &rel) const;
    // Every file below images/, sorted, as relative paths.
    std::vector<std::string> files() const;

    RunResult run(std::string_view answers, const RunLimits &limits = {}) const;

  private:
    RunResult run_once(const RunLimits &limits) const;
    std::string root_;
};

// True when the runs go to a Windows build under Wine (GZ_WINE_PREFIX set).
bool under_wine();
// True when the runs go through a launcher such as qemu-user (GZ_LAUNCHER set).
bool under_launcher();

// Little-endian sample bytes.
std::string u16le(std::initializer_list<unsigned> samples);
std::string i32le(std::initializer_list<long long> samples);
// Decodes little-endian samples.
std::vector<unsigned> read_u16le(std::string_view bytes);
std::vector<int> read_i32le(std::string_view bytes);
// "\n" -> "\r\n".
std::string crlf(std::string_view text);

#include <gtest/gtest.h>

// Console texts compared whole; on a mismatch, where they part and what follows.
::testing::AssertionResult SameText(const std::string &actual, const std::string &expected);
#define EXPECT_TEXT(actual, expected) EXPECT_TRUE(SameText((actual), (expected)))
