// Number text against the C library: "%d" and "%lf" reading of any text (word
// by word, and as blocks of words), and "%lf" writing of any double, must
// agree with strtol, strtod and snprintf.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "number/number_text.hpp"

namespace {
bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool same(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 ||
           (std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b));
}

// parse_words over the text in two blocks cut at cut, against strtod word by word.
void check_words(const std::string &text, std::size_t cut) {
    std::vector<double> want;
    std::size_t bad_start = std::string::npos, bad_end = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (blank(text[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < text.size() && !blank(text[j]))
            ++j;
        const std::string word = text.substr(i, j - i);
        char *end = nullptr;
        const double d = std::strtod(word.c_str(), &end);
        if (end != word.c_str() + word.size()) {
            bad_start = i;
            bad_end = j;
            break;
        }
        want.push_back(d);
        i = j;
    }
    std::vector<double> got(want.size() + 1);
    const char *first = text.data();
    const char *const last = text.data() + text.size();
    ParsedWords r = parse_words(first, first + cut, got.data(), got.size(), cut == text.size());
    std::size_t count = r.count;
    if (r.why == WordsStop::need_text && cut != text.size()) {
        r = parse_words(r.stop, last, got.data() + count, got.size() - count, true);
        count += r.count;
    }
    if (r.why == WordsStop::full) std::abort(); // room for one value more than there are
    if ((r.why == WordsStop::not_a_number) != (bad_start != std::string::npos)) std::abort();
    if (r.why == WordsStop::not_a_number &&
        (r.stop != first + bad_start || r.word_end != first + bad_end))
        std::abort();
    if (count != want.size()) std::abort();
    for (std::size_t k = 0; k < count; ++k)
        if (!same(got[k], want[k])) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const char *c = text.c_str(); // strtol and strtod stop at the first NUL

    ParsedInt pi = parse_int_prefix(text);
    const bool starts_blank = !text.empty() && std::isspace(static_cast<unsigned char>(text[0]));
    if (!starts_blank) {
        char *end = nullptr;
        errno = 0;
        long long v = std::strtoll(c, &end, 10);
        const std::size_t used = static_cast<std::size_t>(end - c);
        if (v > INT_MAX) v = INT_MAX;
        if (v < INT_MIN) v = INT_MIN;
        // strtoll stops at a NUL our parser reads past; compare on the common part.
        if (std::strlen(c) == text.size() && used != pi.used) std::abort();
        if (std::strlen(c) == text.size() && used != 0 && v != pi.value) std::abort();

        ParsedDouble pd = parse_double_prefix(text);
        end = nullptr;
        const double d = std::strtod(c, &end);
        const std::size_t dused = static_cast<std::size_t>(end - c);
        if (std::strlen(c) == text.size()) {
            if (dused != pd.used) std::abort();
            if (dused != 0 && !(std::isnan(d) && std::isnan(pd.value)) &&
                std::memcmp(&d, &pd.value, sizeof d) != 0)
                std::abort();
            double w = 0;
            const bool whole = parse_double_word(text, w);
            if (whole != (dused == text.size() && dused != 0)) std::abort();
        }
    }
    check_words(text, size == 0 ? 0 : data[0] % (size + 1));

    if (size >= sizeof(double)) {
        double v;
        std::memcpy(&v, data, sizeof v);
        char buf[400];
        std::snprintf(buf, sizeof buf, "%lf", v);
        if (format_lf(v) != buf) std::abort();
        char out[lf_max_chars + 1];
        char *end = put_lf_tab(out, v);
        const std::size_t n = std::strlen(buf);
        if (static_cast<std::size_t>(end - out) != n + 1 || std::memcmp(out, buf, n) != 0 ||
            end[-1] != '\t')
            std::abort();
    }
    return 0;
}
