// Raster descriptor reading and writing.
#include "dem/descriptor.hpp"

#include <initializer_list>

#include "number/number_text.hpp"
#include "run/text_reader.hpp"

int read_descriptor(std::FILE *file, int *const fields[6]) {
    TextReader text(file);
    for (int k = 0; k < 6; ++k) {
        const ParsedInt p = parse_int_prefix(text.peek_word());
        if (p.used == 0) return k;
        *fields[k] = p.value;
        text.consume(p.used);
    }
    return 6;
}

namespace {
std::string descriptor_lines(std::initializer_list<int> fields) {
    std::string text;
    for (const int field : fields)
        text += std::to_string(field) + "\n";
    return text;
}
} // namespace

std::string descriptor_sizes(int lines, int columns, int bytes) {
    return descriptor_lines({lines, columns, bytes});
}

std::string descriptor_range(int smallest, int largest, int pixel_size) {
    return descriptor_lines({smallest, largest, pixel_size});
}
