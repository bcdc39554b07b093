#pragma once
#include <cstdio>
#include <cstdlib>

// A property the code under test must keep: when it fails, the input is a finding, so abort and let
// the fuzzer save it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
