// Whole runs with one system call made to fail, call after call (strace's
// fault injection), and runs interrupted by signals while the output is being
// written: each run either ends as a clean run does, or fails leaving every
// file as it was, with nothing half-written or temporary behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "harness.hpp"

namespace {
bool have_strace() {
    return std::system("strace -V > /dev/null 2>&1") == 0;
}

using Files = std::map<std::string, std::string>;

Files snapshot(const Workdir &w) {
    Files files;
    for (const std::string &name : w.files())
        files[name] = w.read(name);
    return files;
}

std::string names(const Files &files) {
    std::string s;
    for (const auto &entry : files)
        s += entry.first + " ";
    return s;
}

struct InjectedRun {
    const char *name;
    std::function<void(const Workdir &)> setup;
    std::string answers;
    std::string created = {}; // a descriptor the run creates for its input
};

const InjectedRun injected_runs[] = {
    {"16-bit raster with a coordinate system to a 16-bit raster over older outputs",
     [](const Workdir &w) {
         w.write("images/d/a_m2.raw", u16le({0, 512, 730, 0, 498, 1204}));
         w.write("images/d/a_m2.txt", "2\r\n3\r\n2\r\n0\r\n1204\r\n25\r\n");
         w.write("images/d/a.prj", "PROJCS[\"a\"]");
         w.write("images/d/a_new_base_m2.raw", "older raster");
         w.write("images/d/a_new_base_m2.txt", "older descriptor");
         w.write("images/d/a_new_base_m2.hdr", "older header");
         w.write("images/d/a_new_base_m2.prj", "older coordinate system");
     },
     "d a 1 0 2 0 0 1 0 2"},
    {"ASCII grid with a coordinate system to an ASCII grid over an older one",
     [](const Workdir &w) {
         w.write("images/d/a.asc", "ncols 3\r\nnrows 2\r\nxllcorner 1\r\nyllcorner 2\r\n"
                                   "cellsize 5\r\nnodata_value 0\r\n0 1.25 7\r\n-3 4 0.5\r\n");
         w.write("images/d/a.prj", "PROJCS[\"a\"]");
         w.write("images/d/a_new_base.asc", "older grid");
         w.write("images/d/a_new_base.prj", "older coordinate system");
     },
     "d a 0 0 0 0 7.5"},
    {"32-bit raster with a created descriptor and no coordinate system, to a 32-bit raster "
     "over an older run's coordinate system",
     [](const Workdir &w) {
         w.write("images/d/a_m4.raw", i32le({0, -5, 7000, 9000, 0, 61}));
         w.write("images/d/a_new_base_m4.prj", "older coordinate system");
     },
     "d a 1 1 2 3 0.5 25 3 0 0 1 1 3", "images/d/a_m4.txt"},
};

// The names of the calls of a traced run, in order, from the banner on: the
// loader's and the runtime's calls before it are not the program's doing.
// Also how many calls of each name came before the banner.
struct Trace {
    std::vector<std::string> calls;
    std::map<std::string, int> before;
};

Trace trace_run(const InjectedRun &run) {
    Workdir w;
    run.setup(w);
    const std::string log = w.root() + "/trace.txt";
    RunLimits traced;
    traced.wrapper = {"strace", "-qq", "-o", log, "-e", "trace=%file,%desc"};
    const RunResult r = w.run(run.answers, traced);
    EXPECT_EQ(r.status, 0) << run.name << "\n" << r.err;
    std::istringstream lines(w.read("../trace.txt"));
    Trace t;
    bool started = false;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t paren = line.find('(');
        if (paren == std::string::npos || line[0] == '-' || line[0] == '+') continue;
        const std::string name = line.substr(0, paren);
        if (!started && name == "write" && line.compare(paren, 3, "(1,") == 0) started = true;
        if (started)
            t.calls.push_back(name);
        else
            ++t.before[name];
    }
    return t;
}

// Runs run with the n-th call named call (counted from the start of the
// process) failing with err, and checks how it ends against the clean run.
void check_injected(const InjectedRun &run, const Files &clean, const std::string &call, int n,
                    const char *err) {
    Workdir w;
    run.setup(w);
    const Files before = snapshot(w);
    RunLimits injected;
    injected.wrapper = {
        "strace", "-qq",
        "-o",     "/dev/null",
        "-e",     "trace=" + call,
        "-e",     "inject=" + call + ":error=" + err + ":when=" + std::to_string(n)};
    const RunResult r = w.run(run.answers, injected);
    const std::string what =
        std::string(run.name) + ", " + call + " #" + std::to_string(n) + " failing with " + err;
    ASSERT_FALSE(r.hung) << what;
    Files after = snapshot(w);
    // A descriptor created for the input is written whole once the samples are
    // read; a run that fails later, or could not write it, may end with or without it.
    if (!run.created.empty() && after.count(run.created) != 0) {
        EXPECT_EQ(after[run.created], clean.at(run.created)) << what;
        if (before.count(run.created) == 0) after.erase(run.created);
    }
    Files clean_but_created = clean;
    if (!run.created.empty() && before.count(run.created) == 0)
        clean_but_created.erase(run.created);
    if (r.status == 0 && r.out.find(" unknown\n") != std::string::npos) {
        // The input could not be opened: the missing-input end.
        EXPECT_EQ(after, before) << what;
    } else if (r.status == 0) {
        EXPECT_EQ(after, clean_but_created) << what << "\nfiles: " << names(after) << "\n" << r.err;
    } else {
        EXPECT_EQ(r.status, 1) << what << "\n" << r.err;
        EXPECT_NE(r.err.find("groundzero: "), std::string::npos) << what << ": no message";
        EXPECT_EQ(after, before) << what << "\nfiles: " << names(after) << "\n" << r.err;
    }
}

[[maybe_unused]] void inject_every_call(const InjectedRun &run) {
    Workdir clean_dir;
    run.setup(clean_dir);
    const RunResult clean_run = clean_dir.run(run.answers);
    ASSERT_EQ(clean_run.status, 0) << run.name << clean_run.err;
    const Files clean = snapshot(clean_dir);

    const Trace t = trace_run(run);
    ASSERT_GT(t.calls.size(), 20u) << run.name << ": the trace holds too few calls";
    std::map<std::string, int> seen = t.before;
    int runs = 0;
    for (const std::string &call : t.calls) {
        if (call == "exit_group") continue;
        const int n = ++seen[call];
        check_injected(run, clean, call, n, "EIO");
        ++runs;
        // A full disk is reported by the writes and by the flush.
        if (call == "write" || call == "fsync") check_injected(run, clean, call, n, "ENOSPC");
        if (call == "openat") check_injected(run, clean, call, n, "EACCES");
        if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_GT(runs, 20) << run.name;
}
} // namespace

#ifndef GZ_SANITIZE // the sanitizers' own start-up and allocator calls would be hit
TEST(FaultInjection, EveryCallOfARasterRunFailingInTurnEndsCleanOrKeepsEveryFile) {
    if (under_wine() || under_launcher() || !have_strace())
        GTEST_SKIP() << "needs strace and a native build (strace would see the emulator's calls)";
    inject_every_call(injected_runs[0]);
}

TEST(FaultInjection, EveryCallOfAnAsciiRunFailingInTurnEndsCleanOrKeepsEveryFile) {
    if (under_wine() || under_launcher() || !have_strace())
        GTEST_SKIP() << "needs strace and a native build (strace would see the emulator's calls)";
    inject_every_call(injected_runs[1]);
}

TEST(FaultInjection, EveryCallOfARunCreatingItsDescriptorFailingInTurnEndsCleanOrKeepsEveryFile) {
    if (under_wine() || under_launcher() || !have_strace())
        GTEST_SKIP() << "needs strace and a native build (strace would see the emulator's calls)";
    inject_every_call(injected_runs[2]);
}
#endif

namespace {
// A run whose every flush to disk is held for three seconds by strace, sent
// sig as soon as an unfinished output appears.
RunLimits held_in_flush(int sig) {
    RunLimits slow;
    slow.wrapper = {"strace", "-qq",         "-o", "/dev/null",
                    "-e",     "trace=fsync", "-e", "inject=fsync:delay_enter=3000000"};
    slow.signal_on_output = sig;
    return slow;
}

// A run stopped by sig while its raster output is being written (held in its
// final flush for a few seconds by strace): it ends by that signal, leaves no
// unfinished file, and the older output is whole.
void interrupt_raster_output(int sig) {
    Workdir w;
    std::string samples;
    for (int k = 0; k < 64 * 1024; ++k)
        samples += i32le({k % 97 == 0 ? 0 : 100 + k % 1000});
    w.write("images/d/a_m4.raw", samples);
    w.write("images/d/a_m4.txt", "256\r\n256\r\n4\r\n0\r\n1099\r\n25\r\n");
    w.write("images/d/a_m4.prj", "PROJCS[\"a\"]");
    w.write("images/d/a_new_base_m4.raw", "older raster");
    w.write("images/d/a_new_base_m4.txt", "older descriptor");
    w.write("images/d/a_new_base_m4.hdr", "older header");
    w.write("images/d/a_new_base_m4.prj", "older coordinate system");
    const Files before = snapshot(w);
    const RunResult r = w.run("d a 1 1 0 0 0 1 1 0\n", held_in_flush(sig));
    EXPECT_FALSE(r.hung);
    EXPECT_EQ(r.signal, sig) << "status " << r.status << "\n" << r.err;
    EXPECT_EQ(snapshot(w), before) << names(snapshot(w));
}
} // namespace

TEST(Interruption, SigtermWhileWritingRemovesTheUnfinishedOutputAndKeepsTheOlderOne) {
    if (under_wine() || !have_strace()) GTEST_SKIP() << "needs strace and a Linux build";
    interrupt_raster_output(SIGTERM);
}

TEST(Interruption, SigintWhileWritingRemovesTheUnfinishedOutputAndKeepsTheOlderOne) {
    if (under_wine() || !have_strace()) GTEST_SKIP() << "needs strace and a Linux build";
    interrupt_raster_output(SIGINT);
}

TEST(Interruption, HangupWhileWritingTheAsciiGridRemovesIt) {
    if (under_wine() || !have_strace()) GTEST_SKIP() << "needs strace and a Linux build";
    Workdir w;
    w.write("images/d/a.asc", "ncols 2\nnrows 1\nxllcorner 1\nyllcorner 2\ncellsize 5\n"
                              "nodata_value 0\n0 4\n");
    w.write("images/d/a.prj", "PROJCS[\"a\"]");
    const Files before = snapshot(w);
    const RunResult r = w.run("d a 0 0 0 0 7.5\n", held_in_flush(SIGHUP));
    EXPECT_EQ(r.signal, SIGHUP) << "status " << r.status << "\n" << r.err;
    EXPECT_EQ(snapshot(w), before) << names(snapshot(w));
}

TEST(Interruption, EveryOtherSignalThatEndsTheProgramRemovesTheUnfinishedOutputToo) {
    if (under_wine() || !have_strace()) GTEST_SKIP() << "needs strace and a native build";
    for (int sig : {SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU})
        interrupt_raster_output(sig);
}

// A successful run makes its renames durable: the folder is synced after the
// last of them, before the run ends.
TEST(Durability, TheFolderIsSyncedAfterTheRenamesOfASuccessfulRun) {
    if (under_wine() || !have_strace()) GTEST_SKIP() << "needs strace and a native build";
    for (const InjectedRun &run : injected_runs) {
        Workdir w;
        run.setup(w);
        const std::string log = w.root() + "/trace.txt";
        RunLimits traced;
        traced.wrapper = {"strace", "-qq", "-y", "-o", log, "-e", "trace=%file,fsync"};
        traced.env = {"ASAN_OPTIONS=detect_leaks=0"}; // the leak check can't run under ptrace
        const RunResult r = w.run(run.answers, traced);
        ASSERT_EQ(r.status, 0) << run.name << "\n" << r.err;
        std::istringstream lines(w.read("../trace.txt"));
        bool renamed = false, synced_after = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("rename", 0) == 0) renamed = true, synced_after = false;
            if (renamed && line.rfind("fsync(", 0) == 0 &&
                line.find("/c/images/d>)") != std::string::npos)
                synced_after = true;
        }
        EXPECT_TRUE(renamed) << run.name;
        EXPECT_TRUE(synced_after) << run.name << "\n" << w.read("../trace.txt");
    }
}

#ifndef GZ_SANITIZE // the sanitizers' own calls would be killed too
namespace {
// A run killed (SIGKILL: nothing of its own runs after) at one call of its
// publish, then a reader of the outputs, then the same run again.
struct KilledRun {
    const char *name;
    std::function<void(const Workdir &)> setup;
    std::string answers, reader;   // the run, and a run reading its outputs as input
    std::vector<std::string> sets; // outputs that must stand together, older or new
    // A descriptor the run creates for its input, and the answers once it stands.
    std::string created = {}, answers_once_created = {};
};

const KilledRun killed_runs[] = {
    {"a raster over an older pair",
     [](const Workdir &w) {
         w.write("images/d/a_m2.raw", u16le({0, 512, 730, 0, 498, 1204}));
         w.write("images/d/a_m2.txt", "2\r\n3\r\n2\r\n0\r\n1204\r\n25\r\n");
         ASSERT_EQ(w.run("d a 1 0 2 0 0 1 0 0\n").status, 0); // the older pair, in metres
     },
     "d a 1 0 2 0 0 1 0 2\n",
     "d a_new_base 1 0 2 1\n",
     {"images/d/a_new_base_m2.raw", "images/d/a_new_base_m2.txt", "images/d/a_new_base_m2.hdr"}},
    {"a created descriptor, then a pair where none stood",
     [](const Workdir &w) {
         w.write("images/d/a_m4.raw", i32le({0, -5, 7000, 9000, 0, 61}));
     },
     "d a 1 1 2 3 0.5 25 3 0 0 1 1 3\n",
     "d a_new_base 1 1 3 1\n",
     {"images/d/a_new_base_m4.raw", "images/d/a_new_base_m4.txt"},
     "images/d/a_m4.txt",
     "d a 1 1 3 0 0 1 1 3\n"},
};

// The files of sets in w, each name with its text or "(none)".
std::string set_of(const Workdir &w, const std::vector<std::string> &set) {
    std::string s;
    for (const std::string &name : set)
        s += name + "=" + (w.exists(name) ? w.read(name) : std::string("(none)")) + "\n";
    return s;
}
} // namespace

TEST(Kill, AtEveryCallOfAPublishTheOutputsStayWholeAndTheNextRunLeavesACleanFolder) {
    if (under_wine() || under_launcher() || !have_strace())
        GTEST_SKIP() << "needs strace and a native build (strace would see the emulator's calls)";
    const std::string calls = "openat,write,close,fsync,flock,getdents64,fchmod,link,unlink,"
                              "rename,renameat2";
    for (const KilledRun &run : killed_runs) {
        Workdir clean;
        run.setup(clean);
        const std::string older = set_of(clean, run.sets);
        const std::string log = clean.root() + "/trace.txt";
        RunLimits traced;
        traced.wrapper = {"strace", "-qq", "-y", "-o", log, "-e", "trace=" + calls};
        ASSERT_EQ(clean.run(run.answers, traced).status, 0) << run.name;
        const Files done = snapshot(clean);
        const std::string newer = set_of(clean, run.sets);
        // The publish begins with the first unfinished output: every call from there.
        std::istringstream lines(clean.read("../trace.txt"));
        std::map<std::string, int> seen;
        std::vector<std::pair<std::string, int>> targets;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t paren = line.find('(');
            if (paren == std::string::npos || line[0] == '+' || line[0] == '-') continue;
            const std::string call = line.substr(0, paren);
            const int n = ++seen[call];
            if (targets.empty() && line.find(".part") == std::string::npos) continue;
            targets.emplace_back(call, n);
        }
        ASSERT_GT(targets.size(), 20u) << run.name;
        for (const auto &[call, n] : targets) {
            Workdir w;
            run.setup(w);
            RunLimits killed;
            killed.wrapper = {
                "strace", "-qq",
                "-o",     "/dev/null",
                "-e",     "trace=" + calls,
                "-e",     "inject=" + call + ":signal=KILL:when=" + std::to_string(n)};
            const RunResult k = w.run(run.answers, killed);
            const std::string what = std::string(run.name) + ", killed at " + call + " #" +
                                     std::to_string(n) + " (status " + std::to_string(k.status) +
                                     ")";
            const RunResult reader = w.run(run.reader);
            EXPECT_EQ(reader.status, 0) << what << "\n" << reader.err;
            const std::string seen_set = set_of(w, run.sets);
            EXPECT_TRUE(seen_set == older || seen_set == newer) << what << "\n" << seen_set;
            const bool created = !run.created.empty() && w.exists(run.created);
            if (created) {
                EXPECT_EQ(w.read(run.created), done.at(run.created)) << what;
            }
            const RunResult again = w.run(created ? run.answers_once_created : run.answers);
            EXPECT_EQ(again.status, 0) << what << "\n" << again.err;
            EXPECT_EQ(snapshot(w), done) << what << "\nfiles: " << names(snapshot(w));
            if (::testing::Test::HasFailure()) return;
        }
    }
}
#endif

// Killed while writing (the process ends at once: no handler runs), a run
// leaves its unfinished output; the next run in the folder removes it, here
// and on Windows, where the dead process's handles are closed by the system.
TEST(Kill, TheUnfinishedOutputOfARunKilledWhileWritingGoesWithTheNextRun) {
    const auto setup = [](const Workdir &w) {
        w.write("images/d/a_m4.raw", std::string(4 * 2000 * 2000, '\x01'));
        w.write("images/d/a_m4.txt", "2000\r\n2000\r\n4\r\n0\r\n0\r\n25\r\n");
    };
    const std::string answers = "d a 1 1 0 0 0 1 1 0\n";
    Workdir clean, w;
    setup(clean);
    setup(w);
    ASSERT_EQ(clean.run(answers).status, 0);
    RunLimits killed;
    killed.signal_on_output = SIGKILL;
    const RunResult k = w.run(answers, killed);
    EXPECT_EQ(k.signal, SIGKILL) << "status " << k.status;
    const std::vector<std::string> left = w.files();
    EXPECT_TRUE(std::any_of(left.begin(), left.end(),
                            [](const std::string &f) { return f.find(".part") != f.npos; }))
        << "no unfinished output was left: " << names(snapshot(w));
    const RunResult again = w.run(answers);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(w.files(), clean.files());
}
