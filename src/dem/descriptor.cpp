// Raster descriptor reading.
#include "dem/descriptor.hpp"

#include "number/number_text.hpp"
#include "run/text_reader.hpp"

int read_descriptor(std::FILE *file, int *const fields[6]) {
    TextReader text(file);
    for (int k = 0; k < 6; ++k) {
        std::string_view w = text.peek_word();
        ParsedInt p = parse_int_prefix(w);
        if (p.used == 0) return k;
        *fields[k] = p.value;
        text.consume(p.used);
    }
    return 6;
}
