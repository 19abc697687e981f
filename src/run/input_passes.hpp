// The passes over the input file: its copy when it can't be read twice, the
// check that it has not changed, and its raw samples a block at a time.
#pragma once
#include <cstddef>
#include <cstdint>

#include "number/extended_arith.hpp"
#include "run/state.hpp"

// Cells per block: the block buffers are this size whatever the grid's.
inline constexpr std::size_t block_cells = std::size_t{1} << 18;

// Raw samples of the input, a block at a time, in the block buffer of its
// sample width, short_samples (16 bits) or wide_samples (32 bits), which
// make_sample_block obtains before the first pass (or the run fails).
// start_samples begins a pass (failing if the file changed since the first);
// next_samples gives the count of cells of the next block, 0 at the end of the
// grid. Cells beyond the end of a short file are 0.
void make_sample_block();
void release_sample_block();
const unsigned short *short_samples();
const int *wide_samples();
void start_samples();
std::size_t next_samples();
// Once the file has ended, every cell still to come is 0: how many there are.
bool samples_past_file_end();
std::uint64_t samples_left();
// After the last pass: fails if the file changed, then closes it, so that an
// output may take the input's own name.
void finish_input();

// Before the first pass: an input that can't be read twice (a named pipe) gets
// its temporary copy, or the run fails.
void prepare_input_passes();
// Before every pass after the first: fails if the input changed since it was
// opened, then goes back to its start.
void rewind_input();
// The input is not what it was when the run began: nothing is written.
[[noreturn]] void fail_changed_input();
// The input could not be read (again: on a later pass), or the temporary copy
// of a pipe input could not be written: the run ends saying which.
[[noreturn]] void fail_input_read(bool again = false);
// Where the input's text ended early: a read error is named as such, not as a short file.
void check_input_read();

// The unit factor of the input samples (the unit answer), as a double and taken apart.
double input_unit_factor();
UnitFactor input_unit();
