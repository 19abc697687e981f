// The grid family: shape, zero fill, separate rows, refused counts.
#include <gtest/gtest.h>

#include <climits>

#include "grid/grid_alloc.hpp"

namespace {
template <class T>
void expect_zeroed_shape(T **(*make)(int, int), void (*release)(T **, int), int cols, int lines) {
    T **g = make(cols, lines);
    ASSERT_NE(g, nullptr);
    for (int i = 0; i < lines; ++i)
        for (int j = 0; j < cols; ++j)
            EXPECT_EQ(g[i][j], T(0)) << i << "," << j;
    // Writing every cell of one row must leave the neighbouring rows untouched.
    for (int i = 0; i < lines; i += 2)
        for (int j = 0; j < cols; ++j)
            g[i][j] = T(i * 1000 + j + 1);
    for (int i = 0; i < lines; ++i)
        for (int j = 0; j < cols; ++j)
            EXPECT_EQ(g[i][j], i % 2 == 0 ? T(i * 1000 + j + 1) : T(0));
    release(g, lines);
}
} // namespace

TEST(GridAlloc, EveryElementTypeComesZeroedWithSeparateRows) {
    expect_zeroed_shape(fmatrice, frfmatrice, 7, 5);
    expect_zeroed_shape(ucmatrice, frucmatrice, 3, 9);
    expect_zeroed_shape(usmatrice, frusmatrice, 5, 3);
    expect_zeroed_shape(smatrice, frsmatrice, 1, 4);
    expect_zeroed_shape(imatrice, frimatrice, 33, 17);
    expect_zeroed_shape(dmatrice, frdmatrice, 1000, 3);
    expect_zeroed_shape(ldmatrice, frldmatrice, 4, 4);
}

TEST(GridAlloc, Usmatrice5By3HasThreeRowsOfFive16BitCells) {
    unsigned short **g = usmatrice(5, 3);
    ASSERT_NE(g, nullptr);
    // Every cell keeps its own 16-bit value: no two cells share storage.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 5; ++j)
            g[i][j] = static_cast<unsigned short>(65535 - 5 * i - j);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(g[i][j], 65535 - 5 * i - j) << i << ", " << j;
    // Distinct rows at least a whole row apart.
    EXPECT_GE(reinterpret_cast<char *>(g[1]) - reinterpret_cast<char *>(g[0]), 10);
    EXPECT_GE(reinterpret_cast<char *>(g[2]) - reinterpret_cast<char *>(g[1]), 10);
    frusmatrice(g, 3);
}

TEST(GridAlloc, ZeroNegativeAndOverflowingCountsGiveNull) {
    EXPECT_EQ(dmatrice(0, 0), nullptr);
    EXPECT_EQ(dmatrice(5, 0), nullptr);
    EXPECT_EQ(dmatrice(0, 5), nullptr);
    EXPECT_EQ(imatrice(-1, 3), nullptr);
    EXPECT_EQ(imatrice(3, -1), nullptr);
    EXPECT_EQ(dmatrice(INT_MAX, INT_MAX), nullptr); // 2^65 bytes
    EXPECT_EQ(dvecteur(0), nullptr);
    EXPECT_EQ(ivecteur(-4), nullptr);
}

TEST(GridAlloc, VectorsComeZeroed) {
    double *d = dvecteur(100);
    unsigned short *u = usvecteur(7);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(u, nullptr);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(d[i], 0.0);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(u[i], 0);
    frdvecteur(d);
    frusvecteur(u);
    float *f = fvecteur(3);
    int *n = ivecteur(3);
    short *s = svecteur(3);
    unsigned char *c = ucvecteur(3);
    ASSERT_TRUE(f && n && s && c);
    EXPECT_EQ(f[2] + float(n[2]) + float(s[2]) + float(c[2]), 0.0f);
    frfvecteur(f);
    frivecteur(n);
    frsvecteur(s);
    frucvecteur(c);
}

TEST(GridAlloc, ReleasedGridsCanBeObtainedAgainManyTimes) {
    // A leak of the page pools would exhaust the address space long before the end.
    for (int k = 0; k < 2000; ++k) {
        double **g = dmatrice(1024, 1024); // 8 MiB each
        ASSERT_NE(g, nullptr) << k;
        g[1023][1023] = 1.0;
        frdmatrice(g, 1024);
    }
}
