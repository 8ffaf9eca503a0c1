#pragma once
// Decides which traced calls of the platform layer fail by injection and, while recording is on, keeps
// the calls and the draws for the tests that read them. Off, it keeps nothing: the record grows with every
// frame drawn, so a host that never reads it must not pay for it. On, a call costs no allocation once
// the record has grown: calls, their arguments and the draws' vertices go back to back into storage
// that clearing keeps, and become the control API's values only when read.

#include "platform/control.h"

#include <initializer_list>
#include <limits>
#include <string_view>

class FaultInjector {
public:
    static constexpr std::size_t kNotRecorded = std::numeric_limits<std::size_t>::max();

    static FaultInjector& Instance();

    void SetRecording(bool on) { m_recording = on; }
    bool Recording() const { return m_recording; }
    /// Appends the call to the trace while recording; returns the entry's index, or kNotRecorded.
    std::size_t Record(const char* operation, std::initializer_list<std::int64_t> arguments);
    /// Whether an injected fault claims this call, recorded or not; `result` then holds the rule's
    /// result (or 0).
    bool Claims(std::string_view operation, std::optional<std::int64_t> selector, HRESULT& result);
    void Complete(std::size_t entry, HRESULT result, bool injected);
    /// Keeps a draw and the `length` bytes of vertices it read; callers check Recording first.
    void RecordDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, DWORD fvf, UINT stride,
                    const std::uint8_t* vertices, std::size_t length);

    void Add(const platform::Fault& fault);
    void ClearFaults();
    void ClearTrace();
    std::vector<platform::TracedCall> Trace() const;
    std::vector<platform::DrawnPrimitives> Draws() const;

private:
    struct Rule {
        platform::Fault fault;
        int seen = 0; ///< matching calls counted so far
    };

    struct Call {
        const char* operation; ///< a literal: lives as long as the process
        std::size_t firstArgument;
        std::size_t argumentCount;
        HRESULT result;
        bool injected;
    };
    struct Draw {
        D3DPRIMITIVETYPE type;
        UINT primitiveCount;
        DWORD fvf;
        UINT stride;
        std::size_t firstByte;
        std::size_t length;
    };

    bool m_recording = false;
    std::vector<Rule> m_rules;
    std::vector<Call> m_calls;
    std::vector<std::int64_t> m_arguments; ///< of every call, in order
    std::vector<Draw> m_draws;             ///< accepted draw calls, cleared with the trace
    std::vector<std::uint8_t> m_vertices;  ///< of every draw, in order
};

/// One traced call of an operation, from its arguments to its result:
///     TracedOperation call("IDirect3D9::GetDeviceCaps", {adapter, type});
///     if (call.Faulted()) return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
///     ...
///     return call.Return(D3D_OK);
class TracedOperation {
public:
    /// The selector a fault can be narrowed to is the first argument unless given.
    TracedOperation(const char* operation, std::initializer_list<std::int64_t> arguments,
                    std::optional<std::int64_t> selector = std::nullopt);

    bool Faulted() const { return m_faulted; }
    /// The injected fault's result, or the operation's own failure code when the fault names none.
    HRESULT InjectedResult(HRESULT ownFailure) const { return m_injected != 0 ? m_injected : ownFailure; }
    HRESULT Return(HRESULT result);

private:
    std::size_t m_entry;
    bool m_faulted = false;
    HRESULT m_injected = 0;
};
