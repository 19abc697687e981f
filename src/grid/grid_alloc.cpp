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
    auto *header = ::new (base) Header{};
    header->size = size;
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

float **fmatrice(int NbCol, int NbLig) {
    return make_grid<float>(NbCol, NbLig);
}
unsigned char **ucmatrice(int NbCol, int NbLig) {
    return make_grid<unsigned char>(NbCol, NbLig);
}
unsigned short **usmatrice(int NbCol, int NbLig) {
    return make_grid<unsigned short>(NbCol, NbLig);
}
short **smatrice(int NbCol, int NbLig) {
    return make_grid<short>(NbCol, NbLig);
}
int **imatrice(int NbCol, int NbLig) {
    return make_grid<int>(NbCol, NbLig);
}
double **dmatrice(int NbCol, int NbLig) {
    return make_grid<double>(NbCol, NbLig);
}
long double **ldmatrice(int NbCol, int NbLig) {
    return make_grid<long double>(NbCol, NbLig);
}

void frfmatrice(float **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}
void frucmatrice(unsigned char **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}
void frusmatrice(unsigned short **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}
void frsmatrice(short **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}
void frimatrice(int **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}
void frdmatrice(double **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}
void frldmatrice(long double **Mat, int NbLig) {
    free_grid(Mat, NbLig);
}

unsigned char *ucvecteur(int NbCol) {
    return make_vector<unsigned char>(NbCol);
}
unsigned short *usvecteur(int NbCol) {
    return make_vector<unsigned short>(NbCol);
}
short *svecteur(int NbCol) {
    return make_vector<short>(NbCol);
}
int *ivecteur(int NbCol) {
    return make_vector<int>(NbCol);
}
double *dvecteur(int NbCol) {
    return make_vector<double>(NbCol);
}
float *fvecteur(int NbCol) {
    return make_vector<float>(NbCol);
}

void frucvecteur(unsigned char *Mat) {
    std::free(Mat);
}
void frusvecteur(unsigned short *Mat) {
    std::free(Mat);
}
void frsvecteur(short *Mat) {
    std::free(Mat);
}
void frivecteur(int *Mat) {
    std::free(Mat);
}
void frdvecteur(double *Mat) {
    std::free(Mat);
}
void frfvecteur(float *Mat) {
    std::free(Mat);
}
