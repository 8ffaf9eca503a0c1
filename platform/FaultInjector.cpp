#include "platform/FaultInjector.h"

FaultInjector& FaultInjector::Instance() {
    static FaultInjector instance;
    return instance;
}

std::size_t FaultInjector::Record(const char* operation, std::initializer_list<std::int64_t> arguments) {
    if (!m_recording) {
        return kNotRecorded;
    }
    m_trace.push_back({operation, arguments, S_OK, false});
    return m_trace.size() - 1;
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
    if (entry < m_trace.size()) {
        m_trace[entry].result = result;
        m_trace[entry].injected = injected;
    }
}

void FaultInjector::Add(const platform::Fault& fault) {
    m_rules.push_back({fault, 0});
}

void FaultInjector::ClearFaults() {
    m_rules.clear();
}

void FaultInjector::ClearTrace() {
    m_trace.clear();
    m_draws.clear();
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
