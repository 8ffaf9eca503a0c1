#include "support/AllocationFailure.h"

#include <new>

namespace {

int g_countdown = -1; ///< nothrow allocations to let through before one fails; -1: none fails

void* AllocateOrFail(std::size_t size, void* (*allocate)(std::size_t)) noexcept {
    if (g_countdown >= 0 && g_countdown-- == 0) {
        return nullptr;
    }
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

} // namespace

void FailNextNothrowAllocation() {
    g_countdown = 0;
}

void FailNothrowAllocationAfter(int successes) {
    g_countdown = successes;
}

// Replaces the global nothrow allocation of the test program; memory still comes from the ordinary
// allocation, so the ordinary delete frees it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrFail(size, [](std::size_t bytes) { return ::operator new(bytes); });
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrFail(size, [](std::size_t bytes) { return ::operator new[](bytes); });
}
