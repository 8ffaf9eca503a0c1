#include "platform/FaultInjector.h"

FaultInjector& FaultInjector::Instance() {
    static FaultInjector instance;
    return instance;
}

std::size_t FaultInjector::Record(const char* operation, std::initializer_list<std::int64_t> arguments) {
    if (!m_recording) {
        return kNotRecorded;
    }
    m_calls.push_back({operation, m_arguments.size(), arguments.size(), S_OK, false});
    m_arguments.insert(m_arguments.end(), arguments.begin(), arguments.end());
    return m_calls.size() - 1;
}

void FaultInjector::RecordDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, DWORD fvf, UINT stride,
                               const std::uint8_t* vertices, std::size_t length) {
    m_draws.push_back({type, primitiveCount, fvf, stride, m_vertices.size(), length});
    m_vertices.insert(m_vertices.end(), vertices, vertices + length);
}

std::vector<platform::TracedCall> FaultInjector::Trace() const {
    std::vector<platform::TracedCall> trace;
    trace.reserve(m_calls.size());
    for (const Call& call : m_calls) {
        const auto first = m_arguments.begin() + static_cast<std::ptrdiff_t>(call.firstArgument);
        trace.push_back({call.operation,
                         {first, first + static_cast<std::ptrdiff_t>(call.argumentCount)},
                         call.result,
                         call.injected});
    }
    return trace;
}

std::vector<platform::DrawnPrimitives> FaultInjector::Draws() const {
    std::vector<platform::DrawnPrimitives> draws;
    draws.reserve(m_draws.size());
    for (const Draw& draw : m_draws) {
        const auto first = m_vertices.begin() + static_cast<std::ptrdiff_t>(draw.firstByte);
        draws.push_back({draw.type,
                         draw.primitiveCount,
                         draw.fvf,
                         draw.stride,
                         {first, first + static_cast<std::ptrdiff_t>(draw.length)}});
    }
    return draws;
}

bool FaultInjector::Claims(std::string_view operation, std::optional<std::int64_t> selector,
                           HRESULT& result) {
    bool claimed = false;
    for (Rule& rule : m_rules) {
        const platform::Fault& fault = rule.fault;
        if (fault.operation != operation || (fault.argument && fault.argument != selector)) {
            continue;
        }
        ++rule.seen;
        const bool reached = rule.seen >= fault.nth;
        const bool within = fault.count == 0 || rule.seen < fault.nth + fault.count;
        if (!claimed && reached && within) {
            claimed = true;
            result = fault.result;
        }
    }
    return claimed;
}

void FaultInjector::Complete(std::size_t entry, HRESULT result, bool injected) {
    if (entry < m_calls.size()) {
        m_calls[entry].result = result;
        m_calls[entry].injected = injected;
    }
}

void FaultInjector::Add(const platform::Fault& fault) {
    m_rules.push_back({fault, 0});
}

void FaultInjector::ClearFaults() {
    m_rules.clear();
}

void FaultInjector::ClearTrace() {
    m_calls.clear();
    m_arguments.clear();
    m_draws.clear();
    m_vertices.clear();
}

TracedOperation::TracedOperation(const char* operation, std::initializer_list<std::int64_t> arguments,
                                 std::optional<std::int64_t> selector) {
    FaultInjector& injector = FaultInjector::Instance();
    m_entry = injector.Record(operation, arguments);
    if (!selector && arguments.size() > 0) {
        selector = *arguments.begin();
    }
    m_faulted = injector.Claims(operation, selector, m_injected);
}

HRESULT TracedOperation::Return(HRESULT result) {
    FaultInjector::Instance().Complete(m_entry, result, m_faulted);
    return result;
}
