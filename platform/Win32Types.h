#pragma once
// Scalar types, result codes and handles of the host operating system's programming interface, as the
// renderer and its host use them. Results follow the usual convention: negative values are failures.

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using FLOAT = float;
using HRESULT = std::int32_t;
using LPCSTR = const char*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

/// Builds a failure code from its 32-bit pattern (facility and code in the low bits, severity bit set).
constexpr HRESULT MakeFailure(std::uint32_t pattern) {
    return static_cast<HRESULT>(pattern);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = MakeFailure(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = MakeFailure(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeFailure(0x80070057u);
constexpr HRESULT E_NOTIMPL = MakeFailure(0x80004001u);

constexpr bool SUCCEEDED(HRESULT result) {
    return result >= 0;
}
constexpr bool FAILED(HRESULT result) {
    return result < 0;
}

/// A rectangle in pixels, right and bottom exclusive.
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

/// A top-level window of the host; null when there is none.
using HWND = struct HostWindow*;
/// A loaded program module.
using HMODULE = struct HostModule*;

/// Base of every reference-counted system object: a new object holds one reference, and releasing the
/// last one frees it. Both operations return the count that remains.
struct IUnknown {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
