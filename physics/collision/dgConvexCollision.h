#pragma once
// Base of every convex shape: the shape as a convex polyhedron of vertices and shared half-edges, with
// the support walk, world box, face display, plane cut, mass properties and ray cast built on it.

#include "physics/collision/dgCollision.h"
#include "physics/collision/dgConvexSimplexEdge.h"
#include "physics/collision/dgPlane.h"

/// Shape classes fill the polyhedron in their constructor (SetPolyhedron) and then call
/// SetVolumeAndCentre; after that an instance changes only its user id. What a class does not override
/// works on the polyhedron.
class dgConvexCollision : public dgCollision {
public:
    /// Most points the plane cut returns.
    static constexpr dgInt32 kMaxPlaneIntersectionPoints = 12;
    /// Half-edge counts are 16-bit.
    static constexpr dgInt32 kMaxEdgeCount = 0xFFFF;

    dgConvexCollision(dgUnsigned32 signature, const dgMatrix& offset, dgCollisionType type);
    /// Frees the vertex and edge arrays through dgFree when the shape owns them.
    ~dgConvexCollision() override;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    /// A convex shape's box comes from its polyhedron: a box given from outside is ignored.
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    std::uintptr_t GetUserId() const override;
    void SetUserId(std::uintptr_t userId) override;
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// Works through the support function alone; hits fill the normal and the attribute (the user id).
    /// A segment that starts inside hits at t = 0 with the normal against the ray.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    /// Integrated over the display faces; not floored.
    dgFloat32 GetVolume() const override;
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                  void* context) const override;

    /// The farthest point of the shape along dir (dir need not be unit). A shape without vertices
    /// answers (0, 0, 0, 0).
    virtual dgVector SupportVertex(const dgVector& dir) const;
    /// The polygon where the plane through point with the given normal (used as given) cuts the shape,
    /// at most kMaxPlaneIntersectionPoints points written to out; returns their number (0 for no cut).
    virtual dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point, dgVector* out) const;

    /// Integrates the display faces: returns the volume; diagonalOut = (T2y + T2z, T2x + T2z,
    /// T2x + T2y), productsOut the products, firstMomentsOut the first moments times 2 (w 1.0 each).
    dgFloat32 CalcMassProperties(dgVector& diagonalOut, dgVector& productsOut,
                                 dgVector& firstMomentsOut) const;

    /// Angle 6.28318 / n with n = floor(256 radius) clamped to 128..1024: the support step of round shapes.
    static dgFloat32 GetAngularStep(dgFloat32 radius);
    /// Index of the point reaching furthest along dir among count sampled support points: a later one only
    /// when strictly further, so ties and values that do not compare keep the earlier one.
    static dgInt32 FurthestAlong(const dgVector* points, dgInt32 count, const dgVector& dir) {
        dgInt32 best = 0;
        dgFloat32 bestValue = points[0].DotProduct(dir);
        for (dgInt32 i = 1; i < count; i++) {
            const dgFloat32 value = points[i].DotProduct(dir);
            if (value > bestValue) {
                best = i;
                bestValue = value;
            }
        }
        return best;
    }

    /// Centre of the polyhedron's volume (x, y, z) and the volume (w).
    const dgVector& GetCentreAndVolume() const { return m_centreAndVolume; }
    const dgVector* GetVertices() const { return m_vertex; }
    const dgConvexSimplexEdge* GetEdges() const { return m_simplex; }
    dgInt32 GetVertexCount() const { return m_vertexCount; }
    dgInt32 GetEdgeCount() const { return m_edgeCount; }
    /// Start of the support walk for +x, -x, +y, -y, +z, -z (index 0..5).
    const dgConvexSimplexEdge* GetSupportStart(dgInt32 index) const {
        dgAssert(index >= 0 && index < 6);
        return m_supportStart[index];
    }
    /// Half extents and centre of the shape's box in its own space (w 1.0).
    const dgVector& GetBoxSize() const { return m_boxSize; }
    const dgVector& GetBoxOrigin() const { return m_boxOrigin; }

protected:
    /// Points the shape at its vertices (w 1.0) and half-edges, dgMalloc blocks it now owns. Refuses,
    /// leaving the shape empty, an edge count beyond the 16-bit range.
    bool SetPolyhedron(dgVector* vertices, dgInt32 vertexCount, dgConvexSimplexEdge* edges,
                       dgInt32 edgeCount);
    /// SetPolyhedron for arrays the shape does not own (its own members, a class-wide edge table): the
    /// destructor leaves them alone.
    bool SetBorrowedPolyhedron(dgVector* vertices, dgInt32 vertexCount, dgConvexSimplexEdge* edges,
                               dgInt32 edgeCount);
    /// Forgets arrays that belong to the class or the object, so the destructor frees nothing.
    void DetachPolyhedron();
    /// Centre and volume, support start edges and local box, from the polyhedron and SupportVertex.
    void SetVolumeAndCentre();

    /// The hill climb of the support walk from edge's origin: moves to the first neighbour that is
    /// strictly better, at most maxTests neighbour tests. Returns the edge whose origin is the best vertex.
    const dgConvexSimplexEdge* ClimbToSupport(const dgConvexSimplexEdge* edge, const dgVector& dir,
                                              dgInt32 maxTests) const;
    /// The fluid plane in the shape's space: (0, 1, 0, -1e8) (everything below) unless callback gives one.
    dgPlane LocalFluidPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback, void* context) const;
    /// First moments times 2 (x, y, z) and volume (w) of the polyhedron's part where plane.p + w <= 0.
    dgVector CalcSubmergedMoments(const dgPlane& plane) const;
    /// Walks the cut of a plane from edge first (its origin at d >= 0, its end at d < 0, or d > 0 when
    /// strict) face by face, writing points counter-clockwise about the plane normal. With thin set, a
    /// full buffer keeps every second point and goes on; otherwise the walk stops when it is full.
    dgInt32 WalkPlaneCut(const dgConvexSimplexEdge* first, const dgFloat32* distances, bool strict,
                         dgVector* out, dgInt32 capacity, bool thin, dgInt32 maxSteps) const;
    /// Removes the points of least area, keeping order, until at most maxCount remain.
    static dgInt32 ReducePolygon(dgInt32 count, const dgVector& normal, dgVector* points, dgInt32 maxCount);

private:
    dgInt32 ApproachPoint(dgVector* tetrahedron, const dgVector& point, dgFloat32& distance) const;
    bool SegmentTouchesLocalBox(const dgVector& p0, const dgVector& p1) const;

    dgVector m_centreAndVolume;
    dgVector* m_vertex;
    dgConvexSimplexEdge* m_simplex;
    const dgConvexSimplexEdge* m_supportStart[6];
    dgUnsigned16 m_edgeCount;
    dgUnsigned16 m_vertexCount;
    std::uintptr_t m_userId;
    dgVector m_boxSize;
    dgVector m_boxOrigin;
    bool m_ownsPolyhedron;
};
