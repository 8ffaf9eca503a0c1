#pragma once
// A fresh folder that is the current folder while the object lives; removed with all it holds.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

class TemporaryFolder {
public:
    TemporaryFolder() : m_previous(std::filesystem::current_path()) {
        static std::atomic<int> serial{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("orvalen-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_path);
        std::filesystem::current_path(m_path);
    }
    ~TemporaryFolder() {
        std::filesystem::current_path(m_previous);
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

/// Writes text to path, making its folders.
inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

/// The whole content of path, or "<missing>".
inline std::string ReadTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
