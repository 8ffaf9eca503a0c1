#pragma once
// Abstract polygon database of static level geometry: vertices, faces with attributes, and two walks
// that hand candidate faces to a caller's per-polygon callback.

#include "physics/core/dgRef.h"
#include "physics/core/dgVector.h"

/// One candidate face: indices points at the face's first vertex index (its attribute is indices[-1]),
/// vertices at the database's vertex array (strideBytes 12). Return 0 to end the whole query.
using dgPolygonSoupCallback = dgInt32 (*)(void* context, const dgFloat32* vertices, dgInt32 strideBytes,
                                          const dgInt32* indices, dgInt32 indexCount);
/// Writing a stream: consumes byteCount bytes from buffer. Called once per field.
using dgSoupSerializeCallback = void (*)(void* userData, const void* buffer, dgInt32 byteCount);
/// Reading a stream: fills buffer with byteCount bytes and returns nonzero, or returns 0 when the
/// stream cannot deliver them (the reader then refuses the stream). Called once per field.
using dgSoupDeserializeCallback = dgInt32 (*)(void* userData, void* buffer, dgInt32 byteCount);

/// Owns its vertex array (dgMalloc block, freed by the destructor).
class dgPolygonSoupDatabase : public dgRef {
public:
    /// One reference; the name, when given, goes to the name table.
    explicit dgPolygonSoupDatabase(const char* name = nullptr);
    ~dgPolygonSoupDatabase() override;
    dgPolygonSoupDatabase(const dgPolygonSoupDatabase&) = delete;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;

    virtual void Serialize(dgSoupSerializeCallback callback, void* userData) const = 0;
    /// Replaces the content with a stream; false, leaving the database empty, when the stream is short
    /// or inconsistent.
    virtual bool Deserialize(dgSoupDeserializeCallback callback, void* userData) = 0;
    /// Box of every vertex of the faces (w 0); the base has no geometry and writes nothing.
    virtual void GetAABB(dgVector& minOut, dgVector& maxOut) const;
    /// Hands every face that may touch the box min..max to callback.
    virtual void ForEachPolygonInBox(const dgVector& min, const dgVector& max, dgPolygonSoupCallback callback,
                                     void* context) const;
    /// Hands every face that may touch the segment p0-p1 to callback; the callback decides hits.
    virtual void ForEachPolygonOnRay(const dgVector& p0, const dgVector& p1, dgPolygonSoupCallback callback,
                                     void* context) const;

    dgInt32 GetVertexCount() const { return m_vertexCount; }
    dgInt32 GetVertexStride() const { return m_vertexStride; }
    const dgFloat32* GetVertices() const { return m_vertices; }

protected:
    dgInt32 m_vertexCount;
    dgInt32 m_vertexStride; ///< bytes; 12 once filled
    dgFloat32* m_vertices;  ///< owned dgMalloc block of m_vertexCount x, y, z triples
};
