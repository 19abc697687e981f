// Number text against the C library: "%d" and "%lf" reading of any text, and
// "%lf" writing of any double, must agree with strtol, strtod and snprintf.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dem/number_text.hpp"

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

    if (size >= sizeof(double)) {
        double v;
        std::memcpy(&v, data, sizeof v);
        char buf[400];
        std::snprintf(buf, sizeof buf, "%lf", v);
        if (format_lf(v) != buf) std::abort();
    }
    return 0;
}
