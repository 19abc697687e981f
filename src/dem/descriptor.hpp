// The descriptor of a raw raster: six integers, each on a line of its own
// when written, separated by any white space when read.
#pragma once
#include <cstdio>
#include <string>

// Reads up to six integers from file into *fields[0..5], in order, as one
// "%d%d%d%d%d%d" read does: a field that is missing or not an integer leaves
// it and every field after it as they were. Returns how many were read.
int read_descriptor(std::FILE *file, int *const fields[6]);

// The text of lines 1-3 (lines, columns, bytes per sample) and of lines 4-6
// (smallest and largest value, pixel size in whole metres). A descriptor the
// run creates is written in these two halves, the second once the samples are read.
std::string descriptor_sizes(int lines, int columns, int bytes);
std::string descriptor_range(int smallest, int largest, int pixel_size);
