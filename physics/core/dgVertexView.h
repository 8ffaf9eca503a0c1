#pragma once
// Read-only view of caller-kept vertex positions, so that a stride can never be taken in the wrong unit.

#include "physics/core/dgVector.h"
#include "physics/core/dgVectorDouble.h"

/// Vertex i is the three floats x, y, z at element i * stride of a float array. Build it with
/// InBytes or InFloats; the view itself only knows floats.
class dgVertexView {
public:
    /// Stride given in bytes, as the engine's builders pass it (a whole number of floats).
    static dgVertexView InBytes(const dgFloat32* vertices, dgInt32 strideInBytes) {
        dgAssert(strideInBytes >= 0 && strideInBytes % 4 == 0);
        return dgVertexView(vertices, strideInBytes / 4);
    }
    /// Stride given in floats; 3 for a packed x, y, z array.
    static dgVertexView InFloats(const dgFloat32* vertices, dgInt32 strideInFloats) {
        dgAssert(strideInFloats >= 0);
        return dgVertexView(vertices, strideInFloats);
    }

    const dgFloat32* GetData() const { return m_vertices; }
    dgInt32 GetStrideInFloats() const { return m_strideInFloats; }

    /// The first float of vertex index.
    const dgFloat32* operator[](dgInt32 index) const {
        dgAssert(index >= 0);
        return m_vertices + static_cast<std::ptrdiff_t>(index) * m_strideInFloats;
    }
    /// Vertex index as a point: w 1.0.
    dgVector Point(dgInt32 index) const { return dgVector((*this)[index]); }
    /// Vertex index widened to doubles: w 1.0.
    dgVectorDouble PointDouble(dgInt32 index) const {
        const dgFloat32* p = (*this)[index];
        return dgVectorDouble(p[0], p[1], p[2], 1.0);
    }

private:
    dgVertexView(const dgFloat32* vertices, dgInt32 strideInFloats)
        : m_vertices(vertices), m_strideInFloats(strideInFloats) {}

    const dgFloat32* m_vertices;
    dgInt32 m_strideInFloats;
};
