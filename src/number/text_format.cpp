// The text formatter over the exact number text.
#include "number/text_format.hpp"

#include <algorithm>

#include "number/number_text.hpp"

std::string format_text(std::string_view format, std::initializer_list<TextArg> args) {
    std::string out;
    out.reserve(format.size() + 16 * args.size());
    const TextArg *next = args.begin();
    for (std::size_t k = 0; k < format.size();) {
        const std::size_t percent = std::min(format.find('%', k), format.size());
        out.append(format, k, percent - k);
        if (percent == format.size()) break;
        const std::string_view rest = format.substr(percent + 1);
        const bool more = next != args.end();
        if (rest.substr(0, 1) == "%") {
            out += '%';
            k = percent + 2;
        } else if (rest.substr(0, 1) == "d" && more && next->kind == TextArg::integer) {
            append_d(out, (next++)->i);
            k = percent + 2;
        } else if (rest.substr(0, 2) == "lf" && more && next->kind == TextArg::real) {
            append_lf(out, (next++)->d);
            k = percent + 3;
        } else if (rest.substr(0, 1) == "s" && more && next->kind == TextArg::text) {
            out.append((next++)->s);
            k = percent + 2;
        } else {
            out += '%';
            k = percent + 1;
        }
    }
    return out;
}
