// Page blocks on POSIX hosts: anonymous mappings, zero-filled by the system.
#include <sys/mman.h>

#include "platform/pages.hpp"

void *zeroed_pages(std::size_t size) {
    if (size == 0) return nullptr;
    // No huge-page advice: where the host compacts memory to find huge pages on
    // demand, the first touch of a large grid took twice as long now and then.
    void *block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void release_pages(void *block, std::size_t size) {
    if (block != nullptr) munmap(block, size);
}
