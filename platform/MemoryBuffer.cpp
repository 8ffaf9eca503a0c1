#include "platform/MemoryBuffer.h"

#include "platform/LiveObjectCounter.h"

namespace {

constexpr const char* kInterfaceName = "ID3DXBuffer";

} // namespace

MemoryBuffer* MemoryBuffer::FromText(std::string_view text) {
    std::vector<char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    return new MemoryBuffer(std::move(bytes));
}

MemoryBuffer::MemoryBuffer(std::vector<char> bytes) : m_bytes(std::move(bytes)) {
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

MemoryBuffer::~MemoryBuffer() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
}

ULONG MemoryBuffer::AddRef() {
    return ++m_references;
}

ULONG MemoryBuffer::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void* MemoryBuffer::GetBufferPointer() {
    return m_bytes.data();
}

DWORD MemoryBuffer::GetBufferSize() {
    return static_cast<DWORD>(m_bytes.size());
}
