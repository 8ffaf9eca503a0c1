#pragma once
// Counts the reference-counted platform objects alive, by interface name, so that tests can prove
// that every object made was released.

#include <map>
#include <string>

class LiveObjectCounter {
public:
    static LiveObjectCounter& Instance();

    void Born(const char* interfaceName) { ++m_counts[interfaceName]; }
    void Died(const char* interfaceName) { --m_counts[interfaceName]; }
    int Count(const std::string& interfaceName) const;
    int Total() const;

private:
    std::map<std::string, int> m_counts;
};
