#define GL_GLEXT_PROTOTYPES 1
#include "platform/StreamingVertexBuffer.h"

#include "platform/GLStateShadow.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

std::size_t StreamingVertexBuffer::Write(GLStateShadow& state, const void* records, std::size_t count,
                                         std::size_t stride) {
    if (m_name == 0) {
        glGenBuffers(1, &m_name);
    }
    state.BindArrayBuffer(m_name);
    const std::size_t bytes = count * stride;
    if (bytes > m_capacity) {
        m_capacity = std::max({m_capacity * 2, kInitialCapacity, bytes});
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_capacity), nullptr, GL_STREAM_DRAW);
        m_used = 0;
    }
    // Records start on a whole record from the front, where the arrays point.
    std::size_t first = (m_used + stride - 1) / stride;
    if ((first + count) * stride > m_capacity) {
        first = 0;
    }
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(first * stride), static_cast<GLsizeiptr>(bytes),
                    records);
    m_used = (first + count) * stride;
    return first;
}

void StreamingVertexBuffer::Delete(GLStateShadow& state) {
    // OpenGL may hand the name out again: the shadow must not take a new buffer for bound.
    state.BindArrayBuffer(0);
    glDeleteBuffers(1, &m_name);
    m_name = 0;
    m_capacity = 0;
    m_used = 0;
}
