#include "system/LargeBuffers.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepLargeBuffers()
{
#if defined(__GLIBC__)
    // Buffers up to 32 MiB (the most glibc allows here: a decoded picture
    // of eight million pixels) come from the heap, and up to 64 MiB of it
    // is kept once freed: a window left open after a run holds no more.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

void giveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
