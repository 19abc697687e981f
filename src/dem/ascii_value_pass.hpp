// The values of an ASCII grid's body read again for the output, a block at a
// time in line order.
#pragma once
#include <memory>

#include "dem/ascii_body.hpp"

class AsciiValuePass : public BodyPass {
  public:
    AsciiValuePass();
    ~AsciiValuePass() { wait(); }
    // The values of the block next() counted.
    const double *cells() const { return values_[current()].get(); }

  private:
    void make(int slot, std::size_t max) override;
    std::size_t take(int slot) override;

    std::unique_ptr<double[]> values_[2];
};
