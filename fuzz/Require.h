#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the fuzzer, which saves the input, naming the promise that broke.
#define REQUIRE(condition)                                                                \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "Broken promise: %s\n", #condition);                     \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)
