#pragma once
// A block of bytes handed out by the utility library, such as a compiler's error text.

#include "platform/D3DXEffect.h"

#include <string_view>
#include <vector>

class MemoryBuffer final : public ID3DXBuffer {
public:
    /// A buffer holding `text` and a terminating zero.
    static MemoryBuffer* FromText(std::string_view text);

    ULONG AddRef() override;
    ULONG Release() override;
    void* GetBufferPointer() override;
    DWORD GetBufferSize() override;

private:
    explicit MemoryBuffer(std::vector<char> bytes);
    ~MemoryBuffer() override;

    ULONG m_references = 1;
    std::vector<char> m_bytes;
};
