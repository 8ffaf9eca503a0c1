#pragma once
// Narrow phase of two convex shapes on their Minkowski difference: overlap test, penetration contacts,
// closest points and time of impact, sampled only through the shapes' support and plane-cut operations.

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexCollision.h"
#include "physics/collision/dgPlane.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgHeap.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

class dgBody;

/// One pair query; built on the caller's stack and thrown away. Allocates nothing: every table is a fixed
/// array inside the object and every limit is checked before it is reached.
class dgConvexPairSolver {
public:
    static constexpr dgInt32 kMaxPoints = 128;
    static constexpr dgInt32 kMaxPlanes = 128;
    static constexpr dgInt32 kMaxHalfEdges = 512;
    static constexpr dgInt32 kHeapCapacity = 256;
    static constexpr dgInt32 kSearchDirections = 14;
    /// Contacts report the overlap minus this skin, never below 0.
    static constexpr dgFloat32 kPenetrationSkin = 1.0f / 128.0f;

    enum WalkResult : dgInt32 { kUndecided = 0, kOutside = 1, kInside = 2 };

    /// A polytope face: unit outward normal with the signed offset in w (negative while the origin lies
    /// behind it), and its three points in m_diff/m_sum.
    struct Face {
        dgPlane m_plane;
        dgInt32 m_vertex[3];
    };

    /// The pair of the two bodies' shapes, both of which must be convex.
    dgConvexPairSolver(const dgBody* body0, const dgBody* body1);
    /// Shape 1 is shape1 placed by body 1's collision matrix in place of body 1's own shape: a soup's
    /// polygon proxy standing for one face of the soup body.
    dgConvexPairSolver(const dgBody* body0, const dgBody* body1, const dgConvexCollision* shape1);
    dgConvexPairSolver(const dgConvexPairSolver&) = delete;

    /// Discrete contacts (at most wanted), normals from shape 1 towards shape 0; 0 when apart.
    dgInt32 CalculateContacts(dgContactPoint* contacts, dgInt32 attribute, dgInt32 wanted);
    /// Contacts at the first touch within timeStep (in: the step; out: the time of impact when found).
    /// Shapes that already overlap give the discrete contacts and leave the time as it was.
    dgInt32 CalculateContinuousContacts(dgFloat32& timeStep, dgContactPoint* contacts, dgInt32 attribute,
                                        dgInt32 wanted);
    /// World-space closest points and the unit normal from shape 0 towards shape 1; false when the shapes
    /// overlap or no answer was reached.
    bool ClosestPoints(dgVector& point0Out, dgVector& point1Out, dgVector& normalOut);

    /// Kind of answer of the tetrahedron walk for point (shape 0's space); on kOutside, faceOut is the
    /// tetrahedron face nearest the point.
    WalkResult BuildTetrahedron(const dgVector& point, Face& faceOut);
    /// The polytope face nearest the origin once the shapes are known to overlap; false for none.
    bool ExpandPolytope(Face& faceOut);
    /// Contacts from the face's normal and depth, through the shapes' cuts by the mid plane.
    dgInt32 ContactsFromFace(const Face& face, dgInt32 attribute, dgContactPoint* contacts, dgInt32 wanted);

    /// Fills the process-wide table of search directions; the world calls it at construction. The table
    /// is built at compile time, so this only has to exist.
    static void InitSearchDirections();
    static const dgVector& GetSearchDirection(dgInt32 index);

    /// Clips polygon (or segment) 1 by the side planes of polygon 0, or the shorter one by the other,
    /// and writes its points at least sqrt(0.002) apart as contacts. Points are world space.
    static dgInt32 ClipPolygonContacts(const dgVector& normal, dgInt32 attribute, dgFloat32 penetration,
                                       dgInt32 count0, const dgVector* polygon0, dgInt32 count1,
                                       const dgVector* polygon1, dgContactPoint* contacts, dgInt32 wanted);

private:
    struct HalfEdge {
        HalfEdge* m_twin;
        HalfEdge* m_next;
        HalfEdge* m_prev;
        dgInt32 m_plane;  ///< kRemovedPlane once its face left the polytope
        dgInt32 m_vertex; ///< origin, index into m_diff/m_sum
        bool m_inHeap;    ///< this half-edge is the heap's handle of its face
        bool m_visible;   ///< face seen from the new point during one expansion
    };
    using FaceHeap = dgMaxHeap<dgFloat32, HalfEdge*>;
    /// An edge of the region a new point sees, from m_start to m_end; m_outside is its twin, which stays.
    struct HorizonEdge {
        dgInt32 m_start;
        dgInt32 m_end;
        HalfEdge* m_outside;
    };
    static constexpr dgInt32 kRemovedPlane = 0xFFFF;
    static constexpr dgInt32 kMaxHorizon = 128;

    /// Support of the difference along the direction in x, y, z (w ignored) into slot index.
    void SupportPoint(const dgVector& plane, dgInt32 index);
    void CopyPoint(dgInt32 from, dgInt32 to);
    void SwapPoints(dgInt32 a, dgInt32 b);
    dgFloat32 TripleProduct() const;
    bool ChooseStartPoints();
    void ChooseStartPointsByMaximum();
    void LinkTetrahedron();
    WalkResult WalkTetrahedron(const dgVector& point, Face& faceOut);
    Face TetrahedronFace(dgInt32 face) const;
    dgPlane PlaneOfPoints(dgInt32 a, dgInt32 b, dgInt32 c) const;

    HalfEdge* NewHalfEdge();
    void ReleaseHalfEdge(HalfEdge* edge);
    dgInt32 NewPlane();
    Face FaceOf(const HalfEdge* edge) const;
    /// Removes the faces that point sees and fans the horizon to it; false, with nothing changed, when the
    /// horizon is not one ring or a table could not hold the result.
    bool AddPolytopeVertex(HalfEdge* seen, dgInt32 point, FaceHeap& heap);
    static void MarkFace(HalfEdge* edge, bool visible);
    /// Marks the faces point lies in front of, flooding from seen; their count, each listed by one edge.
    dgInt32 FloodVisibleFaces(HalfEdge* seen, dgInt32 point, HalfEdge** visible);
    /// The marked region's boundary as one ring in order; 0 when it is no single ring or too long.
    dgInt32 TraceHorizon(HalfEdge* const* visible, dgInt32 visibleCount, HorizonEdge* horizon) const;
    /// Whether the tables hold a fan of horizonCount faces once the visible faces are gone.
    bool RoomForFan(HalfEdge* const* visible, dgInt32 visibleCount, dgInt32 horizonCount, dgInt32 point,
                    const FaceHeap& heap) const;
    /// Frees the faces' planes and half-edges (a heap handle waits until the heap lets go of it).
    void RemoveFaces(HalfEdge* const* faces, dgInt32 faceCount);
    /// One face (a, b, point) per horizon edge a-b, twinned with the ring and pushed on the heap.
    void FanHorizonTo(dgInt32 point, const HorizonEdge* horizon, dgInt32 horizonCount, FaceHeap& heap);

    dgInt32 PlaneCut(const dgConvexCollision& shape, const dgVector& normal, const dgVector& point,
                     const dgVector& supportDir, dgVector* out) const;

    dgMatrix m_matrix; ///< shape 1 in shape 0's space
    dgVector m_diff[kMaxPoints];
    dgVector m_sum[kMaxPoints];
    dgPlane m_facePlane[kMaxPlanes];
    HalfEdge m_halfEdge[kMaxHalfEdges];
    dgInt32 m_halfEdgeCount = 0;
    dgInt32 m_vertexCount = 0;
    dgInt32 m_planeCount = 0;
    dgInt32 m_freePlaneCount = 0;
    dgInt32 m_freePlanes[kMaxPlanes];
    HalfEdge* m_freeHalfEdges = nullptr; ///< linked through m_next
    const dgBody* m_body0;
    const dgBody* m_body1;
    const dgConvexCollision* m_collision0;
    const dgConvexCollision* m_collision1;
    dgMatrix m_global0; ///< shape 0's global collision matrix
    dgMatrix m_global1; ///< shape 1's; moved with m_matrix while the continuous road builds contacts
};

/// Discrete contacts of two convex bodies (at most 16, attribute 0); 0 when either shape is not convex.
dgInt32 GenericConvexContacts(const dgBody* body0, const dgBody* body1, dgContactPoint* contacts);
/// Continuous contacts of two convex bodies over timeStep (in and out), at most 16.
dgInt32 ContinuousConvexContacts(dgFloat32& timeStep, const dgBody* body0, const dgBody* body1,
                                 dgContactPoint* contacts);
/// Closest points of two convex bodies; see dgConvexPairSolver::ClosestPoints.
bool ConvexClosestPoints(const dgBody* body0, const dgBody* body1, dgVector& point0Out, dgVector& point1Out,
                         dgVector& normalOut);
