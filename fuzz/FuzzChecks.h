// What a fuzz target does when the code under test breaks a rule it must
// keep: say which, and stop, so libFuzzer keeps the input that did it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, message)                                                         \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, message, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
