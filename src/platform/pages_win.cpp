// Page blocks on Windows: committed virtual memory, zero-filled by the system.
#include <windows.h>

#include "platform/pages.hpp"

void *zeroed_pages(std::size_t size) {
    if (size == 0) return nullptr;
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release_pages(void *block, std::size_t) {
    if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}
