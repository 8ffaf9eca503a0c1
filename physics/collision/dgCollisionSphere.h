#pragma once
// Sphere centred on its offset matrix's origin.

#include "physics/collision/dgConvexCollision.h"

/// Its polyhedron (local box, stored volume, generic plane operations) is a once-subdivided octahedron of
/// 18 vertices; support, ray cast, world box and plane cut are the round sphere's, the support resolved
/// to GetAngularStep(radius). Volume and inertia integrate the display tessellation (512 triangles).
class dgCollisionSphere : public dgConvexCollision {
public:
    static constexpr dgInt32 kVertexCount = 18;
    static constexpr dgInt32 kEdgeCount = 96;
    /// Triangles handed out by ForEachDisplayFace.
    static constexpr dgInt32 kDisplayTriangles = 512;

    dgCollisionSphere(dgUnsigned32 signature, dgFloat32 radius, const dgMatrix& offset);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// A segment that starts inside is no hit; a hit writes the normal only, not the attribute. A
    /// parameter of 1 or more is returned as it is.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgUnsigned32 CalcSignature() const override;
    /// For a unit dir: the best of four points of the angular grid round dir (w 1.0).
    dgVector SupportVertex(const dgVector& dir) const override;
    /// One point: the foot of the centre on the plane (for a unit normal).
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    dgFloat32 GetRadius() const { return m_radius; }

    /// Appends the triangles of (p0, p1, p2) split level times into four, the new corners pushed onto the
    /// unit sphere: 4^level triangles, three points each, at out[count...]; count grows by 3 * 4^level.
    static void Tessellate(dgInt32 level, const dgVector& p0, const dgVector& p1, const dgVector& p2,
                           dgInt32& count, dgVector* out);

protected:
    /// For shapes built on the unit sphere: the sphere part with another type code.
    dgCollisionSphere(dgUnsigned32 signature, dgFloat32 radius, const dgMatrix& offset, dgCollisionType type);

    /// The display tessellation scaled by radius and placed by offset and then the body's matrix.
    void DisplayTessellation(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback, const dgMatrix& offset,
                             dgFloat32 radius) const;
    /// The round sphere's ray cast without the pre-filter; on t < 1 writes contactOut's normal.
    dgFloat32 RaySphere(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut) const;

private:
    dgFloat32 m_radius;
    dgFloat32 m_step;
    dgFloat32 m_invStep;
    dgFloat32 m_cosStep;
    dgFloat32 m_sinStep;
    dgVector m_vertices[kVertexCount];
};
