// Reading of a raster descriptor: six integers separated by any white space.
#pragma once
#include <cstdio>

// Reads up to six integers from file into *fields[0..5], in order, as one
// "%d%d%d%d%d%d" read does: a field that is missing or not an integer leaves
// it and every field after it as they were. Returns how many were read.
int read_descriptor(std::FILE *file, int *const fields[6]);
