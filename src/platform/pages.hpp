// Zero-filled blocks of whole pages, straight from the host, for grids.
#pragma once
#include <cstddef>

// A zero-filled block of whole pages; null on failure. Released with
// release_pages and the same size.
void *zeroed_pages(std::size_t size);
void release_pages(void *block, std::size_t size);
