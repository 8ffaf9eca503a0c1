#include "physics/core/dgMemoryAllocator.h"

#include "physics/core/dgMemory.h"

void* dgMemoryAllocator::Malloc(std::size_t size) {
    return dgMalloc(size);
}

void dgMemoryAllocator::Free(void* block) {
    dgFree(block);
}

void* dgMemoryAllocator::operator new(std::size_t size) {
    return dgMalloc(size);
}

void dgMemoryAllocator::operator delete(void* block) {
    dgFree(block);
}

dgMemoryAllocator* dgGetDefaultAllocator() {
    static dgMemoryAllocator instance;
    return &instance;
}
