// Whether an output fits on its volume before a byte of it is written.
#pragma once
#include <string_view>

// Whether the volume holding dos_path has space for bytes more; true too when
// the host can't tell. Sets available to what it has (0 when unknown).
bool space_for(std::string_view dos_path, unsigned long long bytes, unsigned long long &available);
// The largest output space_for allows, whatever the disk has (default: no
// limit). Harnesses set it to keep fuzzed sizes small.
void limit_output_bytes(unsigned long long bytes);
