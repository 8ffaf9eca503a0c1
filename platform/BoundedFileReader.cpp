#include "platform/BoundedFileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// Closes the descriptor it was given when it goes.
class OpenFile {
public:
    // Non-blocking, so that opening a pipe nobody writes to returns at once to be refused.
    explicit OpenFile(const char* path) : m_descriptor(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~OpenFile() {
        if (m_descriptor >= 0) {
            close(m_descriptor);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int Descriptor() const { return m_descriptor; }

private:
    int m_descriptor;
};

/// Fills `bytes` from the descriptor; false on a read error or a file that shrank meanwhile.
bool ReadAll(int descriptor, std::vector<std::uint8_t>& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = read(descriptor, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> BoundedFileReader::Read(const char* path) {
    if (path == nullptr) {
        return std::nullopt;
    }
    const OpenFile file(path);
    struct stat status {};
    // Asked of the open descriptor: the file checked is the file read.
    if (file.Descriptor() < 0 || fstat(file.Descriptor(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size < 0 || static_cast<std::uint64_t>(status.st_size) > kMostBytes) {
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size));
        if (!ReadAll(file.Descriptor(), bytes)) {
            return std::nullopt;
        }
        return bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt; // a file the process cannot hold is a failed load
    }
}
