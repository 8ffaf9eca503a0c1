#pragma once
// The engine's polygon mesh of half-edges over caller-kept vertex arrays.

#include "physics/core/dgHalfEdgeNode.h"
#include "physics/core/dgList.h"
#include "physics/core/dgVector.h"
#include "physics/core/dgVectorDouble.h"
#include "physics/core/dgVertexView.h"

#include <vector>

class dgQuadric;
template <class T> class dgGrowableArray;
template <class Key, class Value> class dgMaxHeap;

/// Connectivity only: a vertex is a 32-bit index into the caller's array. Every half-edge lives in one
/// red-black tree keyed by dgMakeEdgeKey(origin, destination), so an edge is found from its two
/// vertices in logarithmic time and a walk of the tree visits the half-edges sorted by destination,
/// then origin. Build with BeginFace, any number of AddFace / AddFaceWithUserData / AddTriangle /
/// AddHalfEdge, then EndFace once; afterwards every half-edge has a twin and rings close.
///
/// Passes that visit each edge or face once take a fresh value of the mark counter
/// (IncrementMarkCounter) and stamp visited edges with it instead of clearing earlier marks.
class dgHalfEdgeMesh : public dgTreeBase {
public:
    /// Largest ring AddFace accepts.
    static constexpr dgInt32 kMaxFaceVertices = 1024;

    /// An empty mesh whose nodes come from the process-wide edge-node pool.
    dgHalfEdgeMesh();
    /// A copy of source's faces: each ring of a face (number >= 0) is added again in source's tree
    /// order, so faces are renumbered 1, 2, ...; borders are rebuilt by EndFace.
    dgHalfEdgeMesh(const dgHalfEdgeMesh& source);
    dgHalfEdgeMesh& operator=(const dgHalfEdgeMesh&) = delete;
    virtual ~dgHalfEdgeMesh();

    static void* operator new(std::size_t size);
    static void operator delete(void* block);

    /// Base mark, mark counter and face counter back to 0; every node released.
    void Clear();
    /// Places further nodes on allocator (for example a dgStackMemoryAllocator for a one-face scratch
    /// mesh) instead of the shared pool. Only while the mesh is empty; the allocator must outlive it.
    void SetNodeAllocator(dgMemoryAllocator* allocator);

    dgUnsigned32 GetBaseMark() const { return m_baseMark; }
    dgUnsigned32 GetMarkCounter() const { return m_markCounter; }
    /// Raises the mark counter by step and returns the new value: a stamp no edge carries yet.
    dgUnsigned32 IncrementMarkCounter(dgUnsigned32 step = 1) {
        m_markCounter += step;
        return m_markCounter;
    }
    /// For passes that borrow the counter (mesh statistics use marks as bit flags and restore it).
    void SetMarkCounter(dgUnsigned32 value) { m_markCounter = value; }
    /// Number of the last face added (0 before the first).
    dgInt32 GetFaceCounter() const { return m_faceCounter; }

    // Walking the edge tree in ascending key order.
    dgHalfEdgeNode* GetRoot() const { return static_cast<dgHalfEdgeNode*>(m_root); }
    dgHalfEdgeNode* GetFirst() const { return static_cast<dgHalfEdgeNode*>(Minimum(m_root)); }
    dgHalfEdgeNode* GetLast() const { return static_cast<dgHalfEdgeNode*>(Maximum(m_root)); }
    static dgHalfEdgeNode* GetNext(dgHalfEdgeNode* node) { return static_cast<dgHalfEdgeNode*>(Next(node)); }
    static dgHalfEdgeNode* GetPrev(dgHalfEdgeNode* node) { return static_cast<dgHalfEdgeNode*>(Prev(node)); }

    // Face building.
    void BeginFace() {}
    /// Adds the ring indices[0] -> indices[1] -> ... -> indices[count-1] -> indices[0] as a new face
    /// (the face counter's next value); the half-edge leaving indices[i] gets userValues[i]. Returns the
    /// half-edge from indices[0] to indices[1], or null, changing nothing, when count is outside
    /// 3..kMaxFaceVertices, an index is negative, two consecutive indices are equal, an undirected
    /// vertex pair is used twice, or a directed edge of the ring is already in the mesh.
    dgHalfEdge* AddFaceWithUserData(dgInt32 count, const dgInt32* indices, const dgUnsigned64* userValues);
    /// AddFaceWithUserData with every user value 0.
    dgHalfEdge* AddFace(dgInt32 count, const dgInt32* indices);
    dgHalfEdge* AddTriangle(dgInt32 i0, dgInt32 i1, dgInt32 i2);
    /// A lone half-edge (no twin, next or prev; face -1; user value 0), or null when that directed edge
    /// exists or an index is negative.
    dgHalfEdge* AddHalfEdge(dgInt32 origin, dgInt32 destination);
    /// Links twins and closes every open border with boundary half-edges (face -1) linked into rings.
    void EndFace();

    // Lookup and removal.
    dgHalfEdge* FindEdge(dgInt32 origin, dgInt32 destination) const;
    /// A half-edge leaving vertex, or null.
    dgHalfEdge* FindVertexEdge(dgInt32 vertex) const;
    /// Removes the half-edge and its twin, splicing the rings so that the faces on both sides join
    /// (face numbers are left as they are).
    void DeleteEdge(dgHalfEdge* edge);
    void DeleteEdge(dgInt32 origin, dgInt32 destination);
    /// Turns the face of edge into a hole: its half-edges get face -1 and those whose twin is a border
    /// too are removed. Nothing for a border edge.
    void DeleteFace(dgHalfEdge* edge);

    // The edge tree on dgEdgeKey.
    dgHalfEdgeNode* Find(dgEdgeKey key) const;
    /// The node of key or, when there is none, the one with the smallest larger key; null when none.
    dgHalfEdgeNode* FindGreaterEqual(dgEdgeKey key) const;
    /// The node of key with existed set; otherwise a new node holding a copy of record.
    dgHalfEdgeNode* InsertEdge(const dgHalfEdge& record, dgEdgeKey key, bool& existed);
    /// Puts a node that is out of the tree back under key (the tree takes a reference); null, changing
    /// nothing, when key is present.
    dgHalfEdgeNode* InsertEdgeNode(dgHalfEdgeNode* node, dgEdgeKey key);
    /// Moves a node of the tree to key. Null, changing nothing, when another node holds key.
    dgHalfEdgeNode* ReplaceEdgeKey(dgHalfEdgeNode* node, dgEdgeKey key);
    /// Red-black and order check of the whole tree, for debugging.
    bool IsValidTree() const;

    // Normals: not normalised; the length is twice the area of a planar face, the direction the side
    // from which the ring runs counter-clockwise. w = 0.
    static dgVectorDouble CalcFaceNormalDouble(const dgHalfEdge* edge, dgVertexView vertices);
    static dgVector CalcFaceNormal(const dgHalfEdge* edge, dgVertexView vertices);

    // Inspection.
    /// Rings with a face number >= 0.
    dgInt32 CountFaces();
    /// Rings with a face number <= 0 (borders).
    dgInt32 CountOpenRings();
    /// Highest origin index + 1; 0 when empty.
    dgInt32 VertexIndexLimit() const;
    /// Around the origin of each listed edge in turn, the first half-edge of a face (number > 0) whose
    /// mark differs from mark; null when none.
    static dgHalfEdge* FindUnmarkedFaceEdge(const dgList<dgHalfEdge*>& list, dgUnsigned32 mark);
    /// Consistency of keys, twins, rings, vertex fans, marks and the tree.
    bool IsValid() const;

    // Editing.
    /// Adds every face again with its ring reversed; faces are renumbered from 1.
    void FlipOrientation();
    /// Replaces the edge shared by two triangles with the quad's other diagonal. False, changing
    /// nothing, when a side is not a triangular face (a border ring does not count) or the new
    /// diagonal would duplicate an edge.
    bool FlipEdge(dgHalfEdge* edge);
    /// Inserts vertex in the middle of edge and its twin; returns the half-edge from edge's destination
    /// to vertex, or null, changing nothing, when vertex is negative or one of the four new edges exists.
    dgHalfEdge* SplitEdge(dgInt32 vertex, dgHalfEdge* edge);
    /// SplitEdge, then cuts off, in each face around the new vertex that is not a triangle, the
    /// triangle at the corner before it (as a new face). Returns what SplitEdge returned.
    dgHalfEdge* SplitEdgeCutCorners(dgInt32 vertex, dgHalfEdge* edge);
    /// Gives the origin vertex of edge the index newIndex in every half-edge that starts or ends there.
    /// Returns newIndex, or -1, changing nothing, when newIndex is negative or a new key would clash.
    dgInt32 RenameVertex(dgHalfEdge* edge, dgInt32 newIndex);
    /// Renumbers the vertices 0, 1, ... in the order a tree walk meets them as origins and copies each
    /// vertex's stride floats from vertices to its new place in outVertices (same stride, distinct
    /// array, room for VertexIndexLimit() vertices after EndFace). Returns the vertex count.
    dgInt32 CompactVertices(dgFloat32* outVertices, dgVertexView vertices);

    // Clean-up passes. They read positions from vertices and change connectivity only.
    /// Ear heap of the triangulation: (sine of the corner's left turn, half-edge leaving the corner).
    using dgEarHeap = dgMaxHeap<dgFloat32, dgHalfEdge*>;
    /// Triangulates, drops faces below 0.0001 in area, simplifies by edge collapse (tolerance 0.001),
    /// drops small faces again and merges coplanar triangles into convex polygons. What cannot be
    /// triangulated goes to rejectMesh (when not null; the caller runs its EndFace).
    void Optimize(dgVertexView vertices, dgHalfEdgeMesh* rejectMesh);
    /// Cuts every face of more than three edges into triangles by ear clipping; the part of a face
    /// that cannot be cut is moved to rejectMesh (when not null) and deleted here.
    void TriangulateFaces(dgVertexView vertices, dgHalfEdgeMesh* rejectMesh);
    /// Cuts the face of edge into triangles that keep its face number. Null on success (or for a
    /// triangle); otherwise a half-edge of the part that is left, unchanged by the failed step.
    dgHalfEdge* TriangulateFace(dgHalfEdge* edge, dgVertexView vertices, dgEarHeap& earHeap);
    /// The half-edge leaving the next corner to cut from the face of edge (unit normal n), or null.
    dgHalfEdge* FindEar(dgHalfEdge* edge, dgVertexView vertices, dgEarHeap& earHeap, const dgVector& n) const;
    /// Deletes every face whose area is below minArea.
    void RemoveSmallFaces(dgVertexView vertices, dgFloat32 minArea);
    /// Removes the shared edges of neighbouring faces that lie in one plane (within 0.08) where both
    /// corners left behind turn left by a sine above 0.1. True when a region of two or more faces
    /// was found.
    bool MergeCoplanarFaces(dgVertexView vertices);
    /// Appends to list a half-edge of each face of more than three edges that TriangulateFace cannot
    /// cut completely (tried on a copy; this mesh's connectivity stays) and stamps those faces' rings
    /// with the copy's mark value, to which this mesh's mark counter is raised when below it.
    void FindUntriangulableFaces(dgList<dgHalfEdge*>& list, dgVertexView vertices);

    // Simplification by edge collapse.
    /// Collapses, cheapest first by quadric error, every half-edge whose collapse moves the surface by
    /// less than tolerance (squared error below 10 tolerance²). Vertices are never moved. Afterwards
    /// every half-edge's user value is 0.
    void SimplifyByEdgeCollapse(dgVertexView vertices, dgFloat32 tolerance);
    /// Fills quadrics (one per vertex index, zeroed by the caller) from every face and border.
    void CalcVertexQuadrics(dgQuadric* quadrics, dgVertexView vertices);
    /// True when moving edge's origin onto its destination would squash, flip or fold a face or
    /// move a border vertex.
    bool IsBadCollapse(const dgHalfEdge* edge, dgVertexView vertices) const;
    /// Removes edge's origin vertex by moving it onto its destination. Returns a half-edge leaving the
    /// kept vertex, or null, changing nothing, when the collapse would break the mesh's topology.
    dgHalfEdge* CollapseEdge(dgHalfEdge* edge);

    // Sliver removal, coplanar patches and smooth regions.
    /// Rounds of: queue every triangle whose doubled area is below tolerance² (smallest first) and
    /// collapse an edge of each, the shortest first, deleting the triangle when no collapse is allowed.
    /// Faces of more than three edges are left alone.
    void RemoveSliverTriangles(dgVertexView vertices, dgFloat32 tolerance);
    /// Copies into outMesh (then closed with EndFace) the face of seed and every face reachable from it
    /// whose normal is within 0.9999 of the seed's, then removes the copies' shared edges, leaving the
    /// patch's outline rings. A seed face with a zero normal is copied alone; a border seed copies
    /// nothing.
    void ExtractCoplanarPatch(dgHalfEdge* seed, dgHalfEdgeMesh& outMesh, dgVertexView vertices);
    /// Appends to list one half-edge of every face reachable from the seed's face (its twin's for a
    /// border seed) through faces whose unit normal has a cosine of at least cosLimit with the seed's.
    void CollectSmoothRegion(dgList<dgHalfEdge*>& list, dgHalfEdge* seed, dgVertexView vertices,
                             dgFloat32 cosLimit);

    // Border stitching.
    /// Welds pairs of border half-edges that run along the same segment in opposite directions (ends
    /// within tolerance, at least 0.0001) into one edge pair between their faces, merging the
    /// coincident vertex indices. Border edges more than 0.5 apart along the sweep axis are never
    /// compared.
    void StitchBorders(dgVertexView vertices, dgFloat32 tolerance);

    // Face ordering.
    /// The vertex indices of every face, face after face, each next face taken around a recently
    /// emitted vertex and sharing as many recent vertices as possible.
    std::vector<dgInt32> OrderFaces();

private:
    static dgMemoryAllocator* EdgeNodePool();

    dgHalfEdge* AddRing(dgInt32 count, const dgInt32* indices, const dgUnsigned64* userValues);
    bool IsRingAcceptable(dgInt32 count, const dgInt32* indices) const;
    void LinkBoundaryRing(dgHalfEdge* boundary, dgInt32 stepLimit);
    void ReplaceWithoutCheck(dgHalfEdgeNode* node, dgEdgeKey key);
    bool CollectVertexFan(dgHalfEdge* edge, dgHalfEdge** fan, dgInt32 capacity, dgInt32& count) const;
    bool IsEdgeValid(const dgHalfEdgeNode* node, dgInt32* ringOrigins, dgInt32 ringCapacity) const;
    static bool IsValidSubtree(const dgHalfEdgeNode* node, dgInt32 blackCount, dgInt32 blacksAbove);

    dgInt32 GrowCoplanarRegion(dgHalfEdge* seed, dgVertexView vertices, dgGrowableArray<dgHalfEdge*>& stack);
    dgInt32 CollectRegionEdges(dgHalfEdge* start, dgGrowableArray<dgHalfEdge*>& stack,
                               dgGrowableArray<dgHalfEdge*>& edges);
    static bool IsFaceOnPlane(const dgHalfEdge* edge, dgVertexView vertices, const dgVectorDouble& plane);
    static bool IsBadMergeCorner(const dgHalfEdge* edge, dgVertexView vertices, const dgVector& n);
    static bool IsBadMergeEdge(const dgHalfEdge* edge, dgVertexView vertices, const dgVector& n);
    bool CollapseKeysAreFree(const dgHalfEdge* edge) const;
    void DissolveSharedEdges();
    bool CanWeld(const dgHalfEdge* e1, const dgHalfEdge* e2, dgVertexView vertices, dgFloat64 weldLimit2) const;
    void Weld(dgHalfEdge* e1, dgHalfEdge* e2);
    bool RepairKeys();
    /// Joins the rings on both sides of edge and its twin as DeleteEdge does, and unpairs the two,
    /// leaving both nodes where they are.
    static void SplicePairOut(dgHalfEdge* edge);
    void RemoveBareEdges();
    /// CollapseEdge; with releaseHandles the user values of removed half-edges are simplification
    /// candidate handles, which are made stale.
    dgHalfEdge* CollapseEdge(dgHalfEdge* edge, bool releaseHandles);

    dgUnsigned32 m_baseMark;
    dgUnsigned32 m_markCounter;
    dgInt32 m_faceCounter;
};
