#pragma once
// Counts the reference-counted platform objects alive, by interface name, so that tests can prove
// that every object made was released.

#include <map>
#include <string>
#include <string_view>

class LiveObjectCounter {
public:
    static LiveObjectCounter& Instance();

    void Born(std::string_view interfaceName) { ++CountOf(interfaceName); }
    void Died(std::string_view interfaceName) { --CountOf(interfaceName); }
    int Count(std::string_view interfaceName) const;
    int Total() const;

private:
    /// Found without making a string: objects are born and die at every draw of a scene.
    int& CountOf(std::string_view interfaceName);

    std::map<std::string, int, std::less<>> m_counts;
};
