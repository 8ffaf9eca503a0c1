#pragma once
// Planes in double precision for mesh building: n . p + d = 0 on the plane.

#include "physics/core/dgVectorDouble.h"
#include "physics/core/dgVertexView.h"

/// x, y, z the normal, w the offset d.
class dgPlaneDouble : public dgVectorDouble {
public:
    dgPlaneDouble() = default;
    /// normal's x, y, z with offset d.
    dgPlaneDouble(const dgVectorDouble& normal, dgFloat64 d) : dgVectorDouble(normal) { w = d; }

    /// n . p + d; p's w is ignored.
    dgFloat64 Evaluate(const dgVectorDouble& p) const { return DotProduct(p) + w; }

    /// Normal (p1 - p0) x (p2 - p0), not normalised, facing the side from which the three points run
    /// counter-clockwise; d = -(n . p0).
    static dgPlaneDouble FromPoints(const dgVectorDouble& p0, const dgVectorDouble& p1,
                                    const dgVectorDouble& p2) {
        const dgVectorDouble n = p1.Sub(p0).CrossProduct(p2.Sub(p0));
        return dgPlaneDouble(n, -n.DotProduct(p0));
    }
};

/// The unit plane through vertices a, b, c in that order (a degenerate triangle gives all zeros).
dgPlaneDouble TrianglePlane(dgInt32 a, dgInt32 b, dgInt32 c, dgVertexView vertices);

/// The plane through the edge from vertex a to vertex other, standing perpendicular to the face through
/// a, other and third, scaled to length 10: in a quadric it weighs 100 times a face plane.
dgPlaneDouble BoundaryPlane(dgInt32 a, dgInt32 other, dgInt32 third, dgVertexView vertices);
