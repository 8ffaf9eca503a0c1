#include "AllocationFailure.h"

#include <new>

namespace {

bool g_failNext = false;

} // namespace

void FailNextNothrowAllocation() {
    g_failNext = true;
}

// Replaces the global nothrow allocation of this test program; memory still comes from the
// ordinary allocation, so the ordinary delete frees it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNext) {
        g_failNext = false;
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNext) {
        g_failNext = false;
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
