#include "platform/LiveObjectCounter.h"

LiveObjectCounter& LiveObjectCounter::Instance() {
    static LiveObjectCounter instance;
    return instance;
}

int LiveObjectCounter::Count(const std::string& interfaceName) const {
    const auto found = m_counts.find(interfaceName);
    return found == m_counts.end() ? 0 : found->second;
}

int LiveObjectCounter::Total() const {
    int total = 0;
    for (const auto& [name, count] : m_counts) {
        total += count;
    }
    return total;
}
