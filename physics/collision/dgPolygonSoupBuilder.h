#pragma once
// Collects the faces of level geometry while the application adds them, cleans each face, optionally
// welds and merges the whole set, and hands its arrays to the tree build of the polygon soup.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"

class dgHalfEdgeMesh;

/// Faces live one after another in the index array as their attribute followed by their vertex
/// indices; face entry i is face i's vertex count + 1. Vertices are x, y, z triples. Every face
/// delivered has 3 to kMaxPieceVertices vertices. Use: Begin, AddMesh..., optionally Optimize, End,
/// then the tree build.
class dgPolygonSoupBuilder {
public:
    /// Elements by which the three arrays grow.
    static constexpr dgInt32 kGrowthStep = 0x40000;
    /// Faces larger than this are cut into convex pieces, so a face always fits a leaf and a proxy.
    static constexpr dgInt32 kMaxPieceVertices = 64;
    /// Largest face AddMesh takes; larger ones are skipped.
    static constexpr dgInt32 kMaxFaceVertices = 1024;
    /// Ceiling of the vertex and index arrays; a mesh that would pass it is refused whole.
    static constexpr dgInt64 kMaxArrayElements = 1 << 26;

    dgPolygonSoupBuilder();
    ~dgPolygonSoupBuilder();
    dgPolygonSoupBuilder(const dgPolygonSoupBuilder&) = delete;
    dgPolygonSoupBuilder& operator=(const dgPolygonSoupBuilder&) = delete;

    /// Empties the builder; the arrays keep their memory.
    void Begin();
    /// Adds faceCount faces over vertexCount vertices (read every strideBytes, placed by matrix): face f
    /// has faceIndexCounts[f] indices into the given vertices, taken one face after another from
    /// indices, and the attribute attributes[f]. Each face is cleaned and may become several pieces or
    /// none; a face with an index outside the vertices or more than kMaxFaceVertices indices is
    /// skipped. False, adding nothing, for bad arguments, a vertex that is not finite after the
    /// transform, or a mesh that would pass kMaxArrayElements.
    bool AddMesh(const dgFloat32* vertices, dgInt32 vertexCount, dgInt32 strideBytes, dgInt32 faceCount,
                 const dgInt32* faceIndexCounts, const dgInt32* indices, const dgInt32* attributes,
                 const dgMatrix& matrix);
    /// Welds vertices within 0.001 and drops faces that collapse; with flag also merges coplanar faces
    /// of equal attribute into convex faces (sets over 4096 faces are worked on in halves).
    void Optimize(bool flag);
    /// A builder of one face gets a copy of it, so that the tree build has two.
    void End();

    dgInt32 GetFaceCount() const { return m_faceCount; }
    dgInt32 GetIndexCount() const { return m_indexCount; }
    dgInt32 GetVertexCount() const { return m_vertexCount; }
    const dgInt32* GetFaceEntries() const { return m_faceEntries.GetData(); }
    const dgInt32* GetIndices() const { return m_indices.GetData(); }
    const dgFloat32* GetVertices() const { return m_vertices.GetData(); }

private:
    /// Grows on access to the smallest multiple of its step above the index asked for.
    template <class T> class dgSteppedArray {
    public:
        dgSteppedArray() : m_step(kGrowthStep), m_capacity(0), m_data(nullptr) {}
        ~dgSteppedArray();
        dgSteppedArray(const dgSteppedArray&) = delete;
        dgSteppedArray& operator=(const dgSteppedArray&) = delete;

        T& operator[](dgInt32 index) {
            dgAssert(index >= 0);
            if (index >= m_capacity) {
                Grow(index);
            }
            return m_data[index];
        }
        /// Room for indices below count.
        void Reserve(dgInt32 count) {
            if (count > m_capacity) {
                Grow(count - 1);
            }
        }
        T* GetData() const { return m_data; }
        void Swap(dgSteppedArray& other);

    private:
        void Grow(dgInt32 index);

        dgInt32 m_step;
        dgInt32 m_capacity;
        T* m_data; ///< owned dgMalloc block
    };

    bool AppendVertices(const dgFloat32* vertices, dgInt32 count, dgInt32 strideBytes, const dgMatrix& matrix);
    void AddCleanFace(dgInt32 count, dgInt32* indices, dgInt32 attribute);
    void AddReworkedFace(dgInt32 count, dgInt32* indices, dgInt32 attribute);
    void AddMeshFaces(dgHalfEdgeMesh& mesh, dgInt32 attribute);
    void AppendPiece(dgInt32 count, const dgInt32* indices, dgInt32 attribute);
    void AppendFace(dgInt32 count, const dgInt32* indices, dgInt32 attribute);
    dgInt32 CleanLoop(dgInt32 count, dgInt32* indices, bool* convex) const;

    void SplitInHalves(bool flag);
    void CopyFacesTo(dgPolygonSoupBuilder& target, const dgUnsigned8* selected, dgUnsigned8 side) const;
    void VertexPass(bool flag);
    void WeldVertices();
    void Compact();
    void MergeCoplanarFaces();
    void Swap(dgPolygonSoupBuilder& other);

    dgInt32 m_faceCount;
    dgInt32 m_indexCount;
    dgInt32 m_vertexCount;
    dgSteppedArray<dgInt32> m_faceEntries;
    dgSteppedArray<dgInt32> m_indices;
    dgSteppedArray<dgFloat32> m_vertices; ///< three floats a vertex
};

/// Opens mesh's face phase, adds the polygon, removing later repeats of an index one at a time until
/// the mesh takes it, and closes the face phase. Returns the count kept, or 0 when the mesh refused
/// the polygon. indices is changed in place.
dgInt32 dgAddFaceRemovingRepeats(dgHalfEdgeMesh& mesh, dgInt32 count, dgInt32* indices);
