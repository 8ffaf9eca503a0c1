#include "physics/core/dgScratchBuffer.h"

#include "physics/core/dgMemory.h"

dgScratchBuffer::dgScratchBuffer(std::size_t bytes) : m_data(dgMalloc(bytes)) {}

dgScratchBuffer::~dgScratchBuffer() {
    dgFree(m_data);
}
