// Functions the hot loops need inlined whatever the compiler's estimate, by an
// attribute given a name: pmccabe, which measures every function for CI,
// reads none whose head spells the attribute out.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define GZ_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define GZ_ALWAYS_INLINE inline
#endif
