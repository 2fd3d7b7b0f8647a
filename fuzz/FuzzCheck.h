#pragma once

// What a fuzz target asserts of a parser's result: a broken invariant aborts with its
// condition and place, which libFuzzer reports as a crash and keeps the input of.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Marks a target's own checking code: libFuzzer traces neither its branches nor its
// comparisons, which are not the parser's, so a loop over a whole grid stays cheap.
#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))
