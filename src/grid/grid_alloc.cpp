// The grid family. Every grid is one zeroed page mapping: a small header, the
// row-pointer array, then the rows one after another, each its own block
// aligned to a cache line. One mapping instead of one allocation per row
// makes big grids several times cheaper to obtain and to fill.
#include "grid/grid_alloc.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/pages.hpp"

namespace {
constexpr std::size_t align = 64;

struct Header {
    std::size_t size; // bytes of the whole mapping
    std::size_t pad[align / sizeof(std::size_t) - 1];
};
static_assert(sizeof(Header) == align);

unsigned long long byte_limit = ~0ULL;

std::size_t round_up(std::size_t n) {
    return (n + align - 1) / align * align;
}

// Byte size of a grid's mapping, or 0 when the counts are not positive or the
// size does not fit in memory's address range.
template <class T> std::size_t grid_bytes(int NbCol, int NbLig) {
    if (NbCol <= 0 || NbLig <= 0) return 0;
    const std::size_t cols = static_cast<std::size_t>(NbCol);
    const std::size_t lines = static_cast<std::size_t>(NbLig);
    const std::size_t limit = SIZE_MAX / 2;
    if (cols > limit / sizeof(T)) return 0;
    const std::size_t row = round_up(cols * sizeof(T));
    if (lines > (limit - 2 * align) / (row + sizeof(T *))) return 0;
    return sizeof(Header) + round_up(lines * sizeof(T *)) + lines * row;
}

template <class T> T **make_grid(int NbCol, int NbLig) {
    const std::size_t size = grid_bytes<T>(NbCol, NbLig);
    if (size == 0 || size > byte_limit) return nullptr;
    auto *base = static_cast<unsigned char *>(zeroed_pages(size));
    if (base == nullptr) return nullptr;
    ::new (base) Header{size, {}};
    T **rows = reinterpret_cast<T **>(base + sizeof(Header));
    unsigned char *next = base + sizeof(Header) + round_up(NbLig * sizeof(T *));
    const std::size_t row = round_up(static_cast<std::size_t>(NbCol) * sizeof(T));
    for (int i = 0; i < NbLig; ++i, next += row)
        rows[i] = reinterpret_cast<T *>(next);
    return rows;
}

template <class T> void free_grid(T **Mat, int /*NbLig*/) {
    if (Mat == nullptr) return;
    auto *base = reinterpret_cast<unsigned char *>(Mat) - sizeof(Header);
    release_pages(base, reinterpret_cast<Header *>(base)->size);
}

template <class T> T *make_vector(int NbCol) {
    if (NbCol <= 0) return nullptr;
    return static_cast<T *>(std::calloc(static_cast<std::size_t>(NbCol), sizeof(T)));
}
} // namespace

void grid_set_byte_limit(unsigned long long bytes) {
    byte_limit = bytes;
}

// One allocator and one release function per element type, all built the same way.
#define GRID_FAMILY(T, prefix)                                                                     \
    T **prefix##matrice(int NbCol, int NbLig) {                                                    \
        return make_grid<T>(NbCol, NbLig);                                                         \
    }                                                                                              \
    void fr##prefix##matrice(T **Mat, int NbLig) {                                                 \
        free_grid(Mat, NbLig);                                                                     \
    }
#define VECTOR_FAMILY(T, prefix)                                                                   \
    T *prefix##vecteur(int NbCol) {                                                                \
        return make_vector<T>(NbCol);                                                              \
    }                                                                                              \
    void fr##prefix##vecteur(T *Mat) {                                                             \
        std::free(Mat);                                                                            \
    }

GRID_FAMILY(float, f)
GRID_FAMILY(unsigned char, uc)
GRID_FAMILY(unsigned short, us)
GRID_FAMILY(short, s)
GRID_FAMILY(int, i)
GRID_FAMILY(double, d)
GRID_FAMILY(long double, ld)

VECTOR_FAMILY(unsigned char, uc)
VECTOR_FAMILY(unsigned short, us)
VECTOR_FAMILY(short, s)
VECTOR_FAMILY(int, i)
VECTOR_FAMILY(double, d)
VECTOR_FAMILY(float, f)
