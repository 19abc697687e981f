// Runs the program in a child process with no controlling terminal (so the key
// wait never blocks) unless one is asked for, stdin from a file, and a watchdog
// against hangs.
#include "harness.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Set to a Wine prefix to run a Windows build of the program: its c:\images
// is made a link to the test's folder for each run (so runs are sequential).
const char *wine_prefix() {
    const char *env = std::getenv("GZ_WINE_PREFIX");
    return env != nullptr && *env != '\0' ? env : nullptr;
}

// Set to a command to run the program through, words split at spaces (say
// "qemu-s390x-static" for a build for another processor).
std::vector<std::string> launcher() {
    std::vector<std::string> words;
    std::istringstream in(std::getenv("GZ_LAUNCHER") != nullptr ? std::getenv("GZ_LAUNCHER") : "");
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::string fold_crlf(const std::string &text) {
    std::string s;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) s += text[k];
    return s;
}

// Whether an unfinished output ("groundzero-<hash>-<slot>.part") stands below folder.
bool unfinished_output(const fs::path &folder) {
    const std::string lead = "groundzero-", ending = ".part";
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(lead, 0) == 0 && name.size() > ending.size() &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            return true;
    }
    return false;
}

// The program among pid and its descendants (a wrapper such as strace starts
// it): the deepest one.
pid_t program_of(pid_t pid) {
    for (;;) {
        std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                               "/children");
        long child = 0;
        if (!(children >> child)) return pid;
        pid = static_cast<pid_t>(child);
    }
}

std::string executable() {
    const char *env = std::getenv("GZ_EXE");
    return env != nullptr && *env != '\0' ? env : GZ_EXE;
}
} // namespace

Workdir::Workdir() {
    std::string tmpl = (fs::temp_directory_path() / "gzdialogue.XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    fs::create_directories(fs::path(root_) / "c" / "images");
    // Readable by an unprivileged run of the program too (where the volume has modes).
    std::error_code no_modes;
    fs::permissions(root_,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    no_modes);
}

Workdir::~Workdir() {
    std::error_code ec;
    // Read-only folders made by a test must not stop the clean-up.
    for (auto &e : fs::recursive_directory_iterator(root_, ec))
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

void Workdir::write(const std::string &rel, std::string_view bytes) const {
    fs::path p = fs::path(root_) / "c" / rel;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Workdir::read(const std::string &rel) const {
    return slurp(fs::path(root_) / "c" / rel);
}

void Workdir::remove(const std::string &rel) const {
    fs::remove(fs::path(root_) / "c" / rel);
}

bool Workdir::exists(const std::string &rel) const {
    return fs::exists(fs::path(root_) / "c" / rel);
}

void Workdir::make_folder(const std::string &rel) const {
    fs::create_directories(fs::path(root_) / "c" / rel);
}

void Workdir::set_read_only(const std::string &rel, bool read_only) const {
    const fs::perms rx = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(fs::path(root_) / "c" / rel, read_only ? rx : rx | fs::perms::owner_write);
}

void Workdir::set_unreadable(const std::string &rel) const {
    fs::permissions(fs::path(root_) / "c" / rel, fs::perms::none);
}

std::vector<std::string> Workdir::files() const {
    std::vector<std::string> names;
    const fs::path base = fs::path(root_) / "c";
    for (auto &e : fs::recursive_directory_iterator(base / "images"))
        if (e.is_regular_file()) names.push_back(fs::relative(e.path(), base).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult Workdir::run(std::string_view answers, const RunLimits &limits) const {
    {
        std::ofstream in(fs::path(root_) / "answers.txt", std::ios::binary);
        in.write(answers.data(), static_cast<std::streamsize>(answers.size()));
    }
    RunResult result = run_once(limits);
    // Now and then Wine's launcher gives up before the program starts: status 1,
    // no console text, and nothing on standard error but Wine's own complaint
    // ("wine client error:0: recvmsg: ..."), if anything. The program prints its
    // banner before anything else, so such a run never touched a file: it is
    // started again; one that fails so three times is reported as it is.
    const auto launch_failed = [](const RunResult &r) {
        return r.status != 0 && r.out.empty() && (r.err.empty() || r.err.rfind("wine", 0) == 0);
    };
    for (int attempt = 1; attempt < 3 && wine_prefix() != nullptr && launch_failed(result);
         ++attempt) {
        std::fprintf(stderr,
                     "[harness] a Wine launch that failed before the program started (status %d): "
                     "started again\n",
                     result.status);
        result = run_once(limits);
    }
    return result;
}

RunResult Workdir::run_once(const RunLimits &limits) const {
    const fs::path dir(root_);
    std::string exe = executable();
    if (limits.unprivileged && getuid() == 0) {
        // The build folder may not be open to others: run a copy that is.
        const fs::path copy = dir / "groundzero";
        fs::copy_file(exe, copy, fs::copy_options::overwrite_existing);
        fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        exe = copy.string();
    }
    if (const char *prefix = wine_prefix()) {
        const fs::path link = fs::path(prefix) / "drive_c" / "images";
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_directory_symlink(dir / "c" / "images", link);
    }
    std::signal(SIGPIPE, SIG_IGN); // a program that ended early must not end the test too
    int answer_pipe[2] = {-1, -1};
    if (!limits.pause_at.empty() && pipe(answer_pipe) != 0) throw std::runtime_error("pipe failed");
    int pty[2] = {-1, -1}; // master, slave
    if ((limits.stdout_on_terminal || limits.stderr_on_terminal || limits.controlling_terminal) &&
        openpty(&pty[0], &pty[1], nullptr, nullptr, nullptr) == 0) {
        termios raw{};
        tcgetattr(pty[1], &raw);
        cfmakeraw(&raw);
        // A controlling terminal stays as a terminal window has it: lines, echo.
        if (!limits.controlling_terminal) tcsetattr(pty[1], TCSANOW, &raw);
        fcntl(pty[0], F_SETFL, O_NONBLOCK);
    }
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        setsid(); // no controlling terminal, unless asked: the key wait returns at once
        if (limits.controlling_terminal && ioctl(pty[1], TIOCSCTTY, 0) != 0) _exit(124);
        if (chdir((dir / "c").c_str()) != 0) _exit(126);
        int in =
            answer_pipe[0] >= 0 ? answer_pipe[0] : open((dir / "answers.txt").c_str(), O_RDONLY);
        if (answer_pipe[1] >= 0) close(answer_pipe[1]);
        int out = open((dir / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open((dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (limits.console == ConsoleOut::full_disk) out = open("/dev/full", O_WRONLY);
        int no_reader[2] = {-1, -1};
        if (limits.console == ConsoleOut::broken_pipe && pipe(no_reader) == 0) {
            close(no_reader[0]);
            out = no_reader[1];
        }
        dup2(limits.answers_typed ? pty[1] : in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (limits.stdout_on_terminal) dup2(pty[1], 1);
        if (limits.stderr_on_terminal) dup2(pty[1], 2);
        for (int fd : pty)
            if (fd >= 0) close(fd);
        if (limits.console == ConsoleOut::closed) close(1);
        signal(SIGPIPE, SIG_DFL); // as a shell starts it
        if (limits.address_space > 0) {
            rlimit r{static_cast<rlim_t>(limits.address_space),
                     static_cast<rlim_t>(limits.address_space)};
            setrlimit(RLIMIT_AS, &r);
        }
        if (limits.file_size > 0) {
            if (wine_prefix() != nullptr) signal(SIGXFSZ, SIG_IGN); // Wine itself would end
            rlimit r{static_cast<rlim_t>(limits.file_size), static_cast<rlim_t>(limits.file_size)};
            setrlimit(RLIMIT_FSIZE, &r);
        }
        if (limits.unprivileged && getuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(limits.user) != 0)
                _exit(125);
        }
        if (limits.umask >= 0) umask(static_cast<mode_t>(limits.umask));
        for (const std::string &setting : limits.env)
            putenv(const_cast<char *>(setting.c_str())); // lives until the exec
        std::vector<std::string> command = limits.wrapper;
        if (const char *prefix = wine_prefix()) {
            setenv("WINEPREFIX", prefix, 1);
            setenv("WINEDEBUG", "-all", 1);
            command.push_back("wine");
        }
        for (const std::string &word : launcher())
            command.push_back(word);
        command.push_back(exe);
        command.insert(command.end(), limits.args.begin(), limits.args.end());
        std::vector<char *> argv;
        for (std::string &word : command)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int pending_answers = -1; // the pipe's end while the answers after the pause wait
    if (answer_pipe[0] >= 0) {
        close(answer_pipe[0]);
        const std::string first = slurp(dir / "answers.txt");
        if (::write(answer_pipe[1], first.data(), first.size()) !=
            static_cast<ssize_t>(first.size()))
            throw std::runtime_error("answers not written");
        pending_answers = answer_pipe[1];
    }
    RunResult result;
    if (pty[1] >= 0) close(pty[1]);
    const auto type = [&](const std::string &keys) {
        if (::write(pty[0], keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
            throw std::runtime_error("keys not typed");
    };
    if (limits.answers_typed) type(slurp(dir / "answers.txt"));
    bool key_typed = !limits.controlling_terminal;
    const auto read_terminal = [&] {
        char buffer[4096];
        for (ssize_t n = 0; pty[0] >= 0 && (n = ::read(pty[0], buffer, sizeof buffer)) > 0;)
            result.terminal.append(buffer, static_cast<std::size_t>(n));
    };
    int wstatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool signalled = false;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (limits.signal_on_output != 0 && !signalled) {
            if (unfinished_output(dir / "c" / "images")) {
                // Under Wine the process started is the program itself.
                kill(wine_prefix() != nullptr ? pid : program_of(pid), limits.signal_on_output);
                signalled = true;
            }
        }
        if (pending_answers >= 0 && (wine_prefix() != nullptr ? fold_crlf(slurp(dir / "stdout.txt"))
                                                              : slurp(dir / "stdout.txt"))
                                            .find(limits.pause_at) != std::string::npos) {
            if (limits.at_pause) limits.at_pause();
            const std::string &rest = limits.answers_after_pause;
            if (::write(pending_answers, rest.data(), rest.size()) !=
                static_cast<ssize_t>(rest.size()))
                throw std::runtime_error("answers not written");
            close(pending_answers);
            pending_answers = -1;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            result.hung = true;
            break;
        }
        if (!key_typed && std::chrono::steady_clock::now() - started >
                              std::chrono::milliseconds(limits.key_after_ms)) {
            type("k");
            key_typed = true;
        }
        read_terminal();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - started)
                    .count();
    read_terminal();
    if (pty[0] >= 0) close(pty[0]);
    if (pending_answers >= 0) close(pending_answers);
    if (!result.hung && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (!result.hung && WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    result.out = slurp(dir / "stdout.txt");
    result.err = slurp(dir / "stderr.txt");
    if (wine_prefix() != nullptr) { // the Windows console ends its lines with CR LF
        result.out = fold_crlf(result.out);
        result.err = fold_crlf(result.err);
    }
    return result;
}

bool under_wine() {
    return wine_prefix() != nullptr;
}

bool under_launcher() {
    return !launcher().empty();
}

std::string u16le(std::initializer_list<unsigned> samples) {
    std::string s;
    for (unsigned v : samples) {
        s += static_cast<char>(v & 0xFF);
        s += static_cast<char>((v >> 8) & 0xFF);
    }
    return s;
}

std::string i32le(std::initializer_list<long long> samples) {
    std::string s;
    for (long long v : samples) {
        const auto u = static_cast<unsigned long long>(v);
        for (int k = 0; k < 4; ++k)
            s += static_cast<char>((u >> (8 * k)) & 0xFF);
    }
    return s;
}

std::vector<unsigned> read_u16le(std::string_view b) {
    std::vector<unsigned> v;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        v.push_back(static_cast<unsigned char>(b[i]) | (static_cast<unsigned char>(b[i + 1]) << 8));
    return v;
}

std::vector<int> read_i32le(std::string_view b) {
    std::vector<int> v;
    for (std::size_t i = 0; i + 3 < b.size(); i += 4) {
        unsigned long u = 0;
        for (int k = 0; k < 4; ++k)
            u |= static_cast<unsigned long>(static_cast<unsigned char>(b[i + k])) << (8 * k);
        v.push_back(static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(u))));
    }
    return v;
}

std::string crlf(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

namespace {
std::string visible(std::string_view s) {
    std::string v;
    for (char c : s) {
        if (c == '\n')
            v += "\\n";
        else if (c == '\t')
            v += "\\t";
        else if (c == '\r')
            v += "\\r";
        else
            v += c;
    }
    return v;
}
} // namespace

::testing::AssertionResult SameText(const std::string &actual, const std::string &expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t k = 0;
    while (k < actual.size() && k < expected.size() && actual[k] == expected[k])
        ++k;
    const std::size_t from = k > 60 ? k - 60 : 0;
    return ::testing::AssertionFailure()
           << "texts part at offset " << k << " (lengths " << actual.size() << " and "
           << expected.size() << ")\n  common: ..." << visible(actual.substr(from, k - from))
           << "\n  actual:   " << visible(actual.substr(k, 160))
           << "\n  expected: " << visible(expected.substr(k, 160));
}
