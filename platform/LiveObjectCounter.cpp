#include "platform/LiveObjectCounter.h"

LiveObjectCounter& LiveObjectCounter::Instance() {
    static LiveObjectCounter instance;
    return instance;
}

int LiveObjectCounter::Count(std::string_view interfaceName) const {
    const auto found = m_counts.find(interfaceName);
    return found == m_counts.end() ? 0 : found->second;
}

int& LiveObjectCounter::CountOf(std::string_view interfaceName) {
    auto found = m_counts.find(interfaceName);
    if (found == m_counts.end()) {
        found = m_counts.emplace(interfaceName, 0).first;
    }
    return found->second;
}

int LiveObjectCounter::Total() const {
    int total = 0;
    for (const auto& [name, count] : m_counts) {
        total += count;
    }
    return total;
}
