// Micro-benchmark of the number text engine on the body of the A grid (3000 x
// 3000 values in metres with one decimal, a zero collar, one text line per grid
// line, CR LF), and on the same values written with two decimals and with 17
// significant digits: parse and "%lf\t" format throughput on one core, in MB/s
// of text, medians of several repetitions, the hand-written code beside the
// standard library's std::from_chars and std::to_chars on the same words.
// Every value read is checked against the grid, every text against the
// library's, and the first 100 000 texts against printf's.
// Usage: textbench [cells per side, default 3000] [repetitions, default 5]
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "number/figures.hpp"
#include "number/number_text.hpp"
#include "number/raised_words.hpp"
#include "run/text_reader.hpp"

namespace {
// The terrain of bench/make_data.py, rounded to one decimal as numpy rounds.
std::vector<double> terrain(int n) {
    std::vector<double> z(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double y = static_cast<double>(i) / n, x = static_cast<double>(j) / n;
            double v = 420 + 260 * std::sin(5.1 * x + 1.3) * std::cos(3.7 * y) +
                       140 * std::exp(-((x - 0.6) * (x - 0.6) + (y - 0.4) * (y - 0.4)) * 9);
            const bool inside = ((x - 0.5) / 0.46) * ((x - 0.5) / 0.46) +
                                    ((y - 0.5) / 0.43) * ((y - 0.5) / 0.43) +
                                    0.3 * (x - 0.5) * (y - 0.5) <
                                1.0;
            z[static_cast<std::size_t>(i) * n + j] = inside ? std::nearbyint(v * 10) / 10 : 0.0;
        }
    return z;
}

// Each value in the given printf form, blank-separated, each grid line ended by CR LF.
std::string grid_text(const std::vector<double> &z, int n, const char *form = "%.1f") {
    std::string text;
    char buf[64];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (j > 0) text += ' ';
            const int len =
                std::snprintf(buf, sizeof buf, form, z[static_cast<std::size_t>(i) * n + j]);
            text.append(buf, static_cast<std::size_t>(len));
        }
        text += "\r\n";
    }
    return text;
}

double seconds_of(const std::function<void()> &run) {
    const auto t0 = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double median_seconds(int repetitions, const std::function<void()> &run) {
    std::vector<double> s;
    for (int r = 0; r < repetitions; ++r)
        s.push_back(seconds_of(run));
    std::sort(s.begin(), s.end());
    return s[s.size() / 2];
}

void report(const char *what, double bytes, double seconds) {
    std::printf("%-58s %8.1f MB/s  (%.3f s)\n", what, bytes / seconds / 1e6, seconds);
}

[[noreturn]] void wrong(const char *what) {
    std::fprintf(stderr, "textbench: %s\n", what);
    std::exit(1);
}

constexpr std::size_t block = std::size_t{1} << 20;

// std::from_chars alone on every word.
const char *from_chars_only(const char *p, const char *last, double &value) {
    const auto r = std::from_chars(p, last, value);
    return r.ec == std::errc() ? r.ptr : nullptr;
}

// Reads the words of a text held in memory with one of the readers above.
template <class Read> std::size_t parse_with(const std::string &text, double *out, Read read) {
    const char *p = text.data(), *const last = p + text.size();
    std::size_t got = 0;
    for (;;) {
        while (p != last && is_text_space(*p))
            ++p;
        if (p == last) return got;
        const char *end = read(p, last, out[got]);
        if (end == nullptr) wrong("not a number");
        ++got;
        p = end;
    }
}

// "%lf\t" by std::to_chars (fixed, six decimals) into one buffer.
std::size_t format_to_chars(const std::vector<double> &z, unsigned &check) {
    std::vector<char> buf(block + lf_max_chars + 1);
    char *p = buf.data();
    std::size_t total = 0;
    for (double v : z) {
        p = std::to_chars(p, p + lf_max_chars, v, std::chars_format::fixed, 6).ptr;
        *p++ = '\t';
        if (p - buf.data() >= static_cast<std::ptrdiff_t>(block)) {
            total += static_cast<std::size_t>(p - buf.data());
            check += static_cast<unsigned char>(p[-2]);
            p = buf.data();
        }
    }
    return total + static_cast<std::size_t>(p - buf.data());
}

// The output text of an ASCII grid straight from its words (raised to base),
// 1 MiB of output at a time, each handed to keep.
template <class Keep> void raise_all(const std::string &text, double base, Keep keep) {
    const BaseText b = base_text(base);
    std::vector<char> buf(block + raised_word_max);
    const char *p = text.data(), *const last = p + text.size();
    for (;;) {
        const RaisedWords r =
            raise_words(p, last, SIZE_MAX, b, buf.data(), buf.data() + buf.size());
        keep(buf.data(), r.out);
        if (r.bad) wrong("not a number");
        if (r.stop == last || r.count == 0) return;
        p = r.stop;
    }
}

// The new path in memory: parse_words over 1 MiB blocks of the text, a word
// cut by a block's end carried into the next block (no copy).
std::size_t parse_blocks(const std::string &text, double *out, std::size_t n) {
    const char *p = text.data();
    const char *const end = text.data() + text.size();
    std::size_t got = 0;
    while (got < n) {
        const char *last = std::min(end, p + block);
        const ParsedWords r = parse_words(p, last, out + got, n - got, last == end);
        got += r.count;
        if (r.why == WordsStop::not_a_number) wrong("not a number");
        if (r.why == WordsStop::need_text && last == end) break;
        p = r.stop;
    }
    return got;
}

// The new path from a file: TextReader's buffer and parse_words, as a grid
// reader would use them.
std::size_t parse_file(std::FILE *f, double *out, std::size_t n) {
    std::rewind(f);
    TextReader text(f);
    std::size_t got = 0;
    for (;;) {
        const std::string_view b = text.buffered();
        const bool ends = text.ended();
        const ParsedWords r = parse_words(b.data(), b.data() + b.size(), out + got, n - got, ends);
        got += r.count;
        text.consume(static_cast<std::size_t>(r.stop - b.data()));
        if (r.why == WordsStop::full) break;
        if (r.why == WordsStop::not_a_number) wrong("not a number");
        if (ends) break;
        text.read_more();
    }
    return got;
}

// The new writer: put_lf_tab into one buffer, handed on at every 1 MiB.
std::size_t format_blocks(const std::vector<double> &z, unsigned &check) {
    std::vector<char> buf(block + lf_max_chars + 1);
    char *p = buf.data();
    std::size_t total = 0;
    for (double v : z) {
        p = put_lf_tab(p, v);
        if (p - buf.data() >= static_cast<std::ptrdiff_t>(block)) {
            total += static_cast<std::size_t>(p - buf.data());
            check += static_cast<unsigned char>(p[-2]);
            p = buf.data();
        }
    }
    return total + static_cast<std::size_t>(p - buf.data());
}

// append_lf and a tab into a string, handed on at every 1 MiB.
template <class Append>
std::size_t format_string(const std::vector<double> &z, Append append, unsigned &check) {
    std::string body;
    body.reserve(block + 512);
    std::size_t total = 0;
    for (double v : z) {
        append(body, v);
        body += '\t';
        if (body.size() >= block) {
            total += body.size();
            check += static_cast<unsigned char>(body[body.size() - 2]);
            body.clear();
        }
    }
    return total + body.size();
}
} // namespace

int main(int argc, char **argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    if (n <= 0 || reps <= 0) wrong("usage: textbench [cells per side] [repetitions]");
    const std::size_t cells = static_cast<std::size_t>(n) * n;
    const std::vector<double> z = terrain(n);
    const std::string text = grid_text(z, n);
    std::printf("A grid body: %d x %d values, %zu bytes of text; medians of %d runs\n", n, n,
                text.size(), reps);

    std::FILE *f = std::tmpfile();
    if (f == nullptr || std::fwrite(text.data(), 1, text.size(), f) != text.size())
        wrong("cannot write the temporary file");
    std::fflush(f);

    std::vector<double> out(cells);
    auto same_values = [&] {
        if (!std::equal(out.begin(), out.end(), z.begin())) wrong("values differ from the grid's");
        std::fill(out.begin(), out.end(), -1.0);
    };
    const double bytes = static_cast<double>(text.size());
    double s = median_seconds(reps, [&] {
        if (parse_blocks(text, out.data(), cells) != cells) wrong("short");
    });
    same_values();
    report("parse %.1f, parse_words over 1 MiB blocks in memory", bytes, s);
    s = median_seconds(reps, [&] {
        if (parse_file(f, out.data(), cells) != cells) wrong("short");
    });
    same_values();
    report("parse %.1f, TextReader buffer + parse_words, from a file", bytes, s);
    // The same words, and the same values in other forms, by each reader.
    const std::string two = grid_text(z, n, "%.2f"), long_form = grid_text(z, n, "%.17g");
    for (const auto &[name, form] : {std::pair<const char *, const std::string *>{"%.1f", &text},
                                     {"%.2f", &two},
                                     {"%.17g", &long_form}}) {
        const std::string *words = form; // a lambda can't capture a structured binding in clang 14
        const double size = static_cast<double>(words->size());
        const std::string label = std::string("parse ") + name;
        s = median_seconds(reps, [&] {
            if (parse_blocks(*words, out.data(), cells) != cells) wrong("short");
        });
        same_values();
        report((label + ", parse_words (short path, then std::from_chars)").c_str(), size, s);
        s = median_seconds(reps, [&] {
            if (parse_with(*words, out.data(), from_chars_only) != cells) wrong("short");
        });
        same_values();
        report((label + ", std::from_chars").c_str(), size, s);
    }

    unsigned check = 0;
    std::size_t written = format_blocks(z, check);
    for (std::size_t k = 0; k < std::min<std::size_t>(cells, 100000); ++k) {
        char printed[400];
        std::snprintf(printed, sizeof printed, "%lf", z[k]);
        if (format_lf(z[k]) != printed) wrong("a text differs from printf's");
    }
    for (double v : z) {
        char mine[400], library[400];
        const std::string_view a(mine, static_cast<std::size_t>(put_lf(mine, v) - mine));
        const std::string_view b(
            library, static_cast<std::size_t>(
                         std::to_chars(library, library + 400, v, std::chars_format::fixed, 6).ptr -
                         library));
        if (a != b) wrong("a text differs from std::to_chars'");
    }
    std::printf("\"%%lf\\t\" text of the values: %zu bytes\n", written);
    s = median_seconds(reps, [&] { format_blocks(z, check); });
    report("format, put_lf_tab into a 1 MiB buffer", static_cast<double>(written), s);
    s = median_seconds(reps, [&] { format_to_chars(z, check); });
    report("format, std::to_chars (fixed, 6) into a 1 MiB buffer", static_cast<double>(written), s);
    s = median_seconds(reps, [&] {
        format_string(
            z, [](std::string &o, double v) { append_lf(o, v); }, check);
    });
    report("format, append_lf into a std::string", static_cast<double>(written), s);

    // Straight from the words to the raised text, against parse then format.
    double base = 1.0e7;
    for (double v : z)
        if (v > 0.0 && v < base) base = v;
    std::string expected;
    expected.reserve(written);
    for (double v : z) {
        char t[400];
        expected.append(t, put_lf_tab(t, raised(v, base)));
    }
    std::string raised_text;
    raise_all(text, base, [&](const char *a, const char *b) { raised_text.append(a, b); });
    if (raised_text != expected) wrong("the raised text differs from the formatted one");
    s = median_seconds(reps, [&] {
        raise_all(text, base,
                  [&](const char *, const char *b) { check += static_cast<unsigned char>(b[-2]); });
    });
    report("raise %.1f, raise_words (words to raised text)", bytes, s);

    std::printf("(check %u)\n", check);
    std::fclose(f);
    return 0;
}
