// The values of an ASCII grid's body, parsed again for the output.
#include "dem/ascii_value_pass.hpp"

#include <algorithm>

#include "run/ask.hpp"

AsciiValuePass::AsciiValuePass() {
    for (auto &values : values_)
        values.reset(new double[block_cells]);
    start();
}

void AsciiValuePass::make(int slot, std::size_t max) {
    parse_piece(piece_[slot], values_[slot].get(), max, nullptr);
}

std::size_t AsciiValuePass::take(int slot) {
    const BodyPiece &p = piece_[slot];
    if (p.out_of_memory) fail_out_of_memory();
    const auto n = static_cast<std::size_t>(std::min<unsigned long long>(p.count, left()));
    if (n < left() && p.bad) fail_changed_input();
    return n;
}
