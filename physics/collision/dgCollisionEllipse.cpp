#include "physics/collision/dgCollisionEllipse.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>

dgCollisionEllipse::dgCollisionEllipse(dgUnsigned32 signature, dgFloat32 rx, dgFloat32 ry, dgFloat32 rz,
                                       const dgMatrix& offset)
    : dgCollisionSphere(signature, 1.0f, offset, kEllipseCollision), m_radius(rx, ry, rz, 1.0f),
      m_invRadius(1.0f / rx, 1.0f / ry, 1.0f / rz, 1.0f) {}

dgUnsigned32 dgCollisionEllipse::GetTypeId() const {
    return dgCollisionEllipseClassId;
}

bool dgCollisionEllipse::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionEllipseClassId || dgCollisionSphere::IsType(typeId);
}

dgUnsigned32 dgCollisionEllipse::CalcSignature() const {
    const dgFloat32 radii[3] = {m_radius.x, m_radius.y, m_radius.z};
    return dgShapeSignature(kEllipseCollision, radii, 3, GetOffsetMatrix());
}

dgMatrix dgCollisionEllipse::ScaledMatrix(const dgMatrix& matrix) const {
    return dgMatrix(matrix.front.Scale(m_radius.x), matrix.up.Scale(m_radius.y),
                    matrix.right.Scale(m_radius.z), matrix.posit);
}

dgVector dgCollisionEllipse::SupportVertex(const dgVector& dir) const {
    const dgVector n = dir.CompProduct(m_radius);
    const dgVector unit = n.Scale(1.0f / std::sqrt(n.DotProduct(n) + 1.0e-24f));
    const dgVector s = dgCollisionSphere::SupportVertex(unit);
    return dgVector(m_radius.x * s.x, m_radius.y * s.y, m_radius.z * s.z, 1.0f);
}

void dgCollisionEllipse::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    dgConvexCollision::CalcWorldBox(ScaledMatrix(matrix), minOut, maxOut);
}

void dgCollisionEllipse::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    DisplayTessellation(bodyMatrix, body, callback, ScaledMatrix(GetOffsetMatrix()), 1.0f);
}

dgFloat32 dgCollisionEllipse::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    const dgVector q0 = p0.CompProduct(m_invRadius);
    const dgVector q1 = p1.CompProduct(m_invRadius);
    const dgFloat32 t =
        RaySphere(dgVector(q0.x, q0.y, q0.z, p0.w), dgVector(q1.x, q1.y, q1.z, p1.w), contactOut);
    if (t < 1.0f) {
        // The gradient of x^2/rx^2 + y^2/ry^2 + z^2/rz^2 at the hit, with u = hit / radii.
        const dgVector u = q0.Add(q1.Sub(q0).Scale(t));
        const dgVector n = u.CompProduct(m_invRadius);
        dgVector normal = n.Scale(1.0f / std::sqrt(n.DotProduct(n)));
        normal.w = p0.w;
        contactOut.m_normal = normal;
    }
    return t;
}

dgInt32 dgCollisionEllipse::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                  dgVector* out) const {
    const dgVector m = normal.CompProduct(m_radius);
    const dgFloat32 k = normal.DotProduct(point) / m.DotProduct(m);
    out[0] = dgVector(m_radius.x * m.x * k, m_radius.y * m.y * k, m_radius.z * m.z * k, 1.0f);
    if (!std::isfinite(out[0].x) || !std::isfinite(out[0].y) || !std::isfinite(out[0].z)) {
        // A normal along a zero radius (a flat or point ellipsoid) has no single support point: the whole
        // flat side touches, and the centre's foot on the plane is the limit of the formula above.
        out[0] = normal.Scale(normal.DotProduct(point));
        out[0].w = 1.0f;
    }
    return 1;
}

dgVector dgCollisionEllipse::CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                                  void* context) const {
    // A point p of the ellipsoid is radii * u with u on the unit sphere: n.p + w = (n * radii).u + w.
    const dgPlane plane = LocalFluidPlane(matrix, callback, context);
    const dgPlane unitPlane = dgPlane(plane.CompProduct(m_radius), plane.w).Normalised(0.0f);
    const dgVector moments = CalcSubmergedMoments(unitPlane);
    dgVector centre(moments.x, moments.y, moments.z, 1.0f);
    if (moments.w > 1.0e-8f) {
        centre = centre.Scale(0.5f / moments.w);
    }
    dgVector out = matrix.TransformVector(centre.CompProduct(m_radius));
    out.w = moments.w * m_radius.x * m_radius.y * m_radius.z;
    return out;
}
