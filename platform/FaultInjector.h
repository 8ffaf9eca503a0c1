#pragma once
// Records every traced call of the platform layer and decides which of them fail by injection.

#include "platform/control.h"

#include <initializer_list>
#include <utility>

class FaultInjector {
public:
    static FaultInjector& Instance();

    /// Appends the call to the trace; returns the entry's index.
    std::size_t Record(const char* operation, std::initializer_list<std::int64_t> arguments);
    /// Whether an injected fault claims this call; `result` then holds the rule's result (or 0).
    bool Claims(const std::string& operation, std::optional<std::int64_t> selector, HRESULT& result);
    void Complete(std::size_t entry, HRESULT result, bool injected);
    void RecordDraw(platform::DrawnPrimitives draw) { m_draws.push_back(std::move(draw)); }

    void Add(const platform::Fault& fault);
    void ClearFaults();
    void ClearTrace();
    const std::vector<platform::TracedCall>& Trace() const { return m_trace; }
    const std::vector<platform::DrawnPrimitives>& Draws() const { return m_draws; }

private:
    struct Rule {
        platform::Fault fault;
        int seen = 0; ///< matching calls counted so far
    };

    std::vector<Rule> m_rules;
    std::vector<platform::TracedCall> m_trace;
    std::vector<platform::DrawnPrimitives> m_draws; ///< accepted draw calls, cleared with the trace
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
