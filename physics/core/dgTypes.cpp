#include "physics/core/dgTypes.h"

#include <cstdio>
#include <cstdlib>

void dgAssertFailed(const char* expression, const char* file, int line) {
    std::fprintf(stderr, "dgAssert failed: %s (%s:%d)\n", expression, file, line);
    std::abort();
}
