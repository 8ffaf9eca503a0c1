#include "physics/core/dgArrayHelpers.h"

#include <cstring>

namespace {
dgInt32 ReadKey(const void* p) {
    dgInt32 key;
    std::memcpy(&key, p, sizeof(key));
    return key;
}
} // namespace

int dgCompareInt32Ascending(const void* a, const void* b) {
    const dgInt32 ka = ReadKey(a);
    const dgInt32 kb = ReadKey(b);
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

int dgCompareInt32Descending(const void* a, const void* b) {
    return dgCompareInt32Ascending(b, a);
}
