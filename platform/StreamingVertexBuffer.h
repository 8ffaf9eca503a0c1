#pragma once
// One OpenGL buffer that a device streams the vertices of its draws through, front to back: each draw
// takes the next free records, and a draw that no longer fits starts again at the front. OpenGL orders
// a write after the draws that read the bytes before it, so no draw sees another's vertices. The
// storage is made again only to grow (to the largest draw), since new storage costs the driver a clear
// of every byte. Its context must be current for every call.

#include <cstddef>

class GLStateShadow;

class StreamingVertexBuffer {
public:
    StreamingVertexBuffer() = default;
    StreamingVertexBuffer(const StreamingVertexBuffer&) = delete;
    StreamingVertexBuffer& operator=(const StreamingVertexBuffer&) = delete;

    /// Copies `count` records of `stride` bytes into the buffer, bound as the array buffer, and returns
    /// the index of the first one there: arrays pointed at the buffer's start draw them from that vertex.
    std::size_t Write(GLStateShadow& state, const void* records, std::size_t count, std::size_t stride);
    /// Frees the buffer, unbinding it first; the next Write makes a new one.
    void Delete(GLStateShadow& state);

private:
    static constexpr std::size_t kInitialCapacity = std::size_t(4) << 20; ///< bytes

    unsigned m_name = 0;
    std::size_t m_capacity = 0; ///< bytes
    std::size_t m_used = 0;     ///< bytes from the front handed out since the front was last taken
};
