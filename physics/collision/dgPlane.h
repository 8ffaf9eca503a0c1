#pragma once
// A plane kept in a dgVector: normal in x, y, z and the distance term in w, so n.p + w = 0 on it.

#include "physics/core/dgVector.h"

#include <cmath>

class dgPlane : public dgVector {
public:
    dgPlane() = default;
    dgPlane(const dgVector& normal, dgFloat32 w) : dgVector(normal.x, normal.y, normal.z, w) {}
    /// Through three points: n = (p1 - p0) x (p2 - p0), not normalised, w = -(n.p0).
    dgPlane(const dgVector& p0, const dgVector& p1, const dgVector& p2)
        : dgPlane(p1.Sub(p0).CrossProduct(p2.Sub(p0)), 0.0f) {
        w = -DotProduct(p0);
    }

    /// Plane of a polygon from the sum of its edge cross products (Newell), with a unit normal: the
    /// plane of any three points of a planar polygon, and still right when the first three are collinear.
    static dgPlane FromPolygon(dgInt32 count, const dgVector* points) {
        dgVector normal(0.0f, 0.0f, 0.0f, 0.0f);
        for (dgInt32 i = 0; i < count; i++) {
            const dgVector& a = points[i];
            const dgVector& b = points[i + 1 == count ? 0 : i + 1];
            normal.x += (a.y - b.y) * (a.z + b.z);
            normal.y += (a.z - b.z) * (a.x + b.x);
            normal.z += (a.x - b.x) * (a.y + b.y);
        }
        return dgPlane(normal, -normal.DotProduct(points[0])).Normalised(1.0e-8f);
    }

    /// n.p + w: positive on the side the normal points to.
    dgFloat32 Evaluate(const dgVector& p) const { return DotProduct(p) + w; }
    /// The same plane with a unit normal; epsilon2 added under the square root keeps a degenerate
    /// normal finite.
    dgPlane Normalised(dgFloat32 epsilon2) const {
        const dgFloat32 scale = 1.0f / std::sqrt(DotProduct(*this) + epsilon2);
        return dgPlane(Scale(scale), w * scale);
    }
};
