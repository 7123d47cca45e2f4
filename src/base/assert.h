// ZUKA_ASSERT: cheap internal checks that stay on in release builds.
#pragma once

#include <cstdio>
#include <cstdlib>

#define ZUKA_ASSERT(cond, why)                                                         \
    do {                                                                               \
        if (!(cond)) {                                                                 \
            std::fprintf(stderr, "%s:%d: internal error: %s (%s)\n", __FILE__, __LINE__, \
                         why, #cond);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)
