#include "physics/core/dgPlaneDouble.h"

#include <cmath>

namespace {

// Scales all four components by scale / |n|, with |n| raised to 1e-12 so a zero normal stays zero.
dgPlaneDouble ScaleToLength(const dgPlaneDouble& plane, dgFloat64 length) {
    dgFloat64 magnitude = std::sqrt(plane.DotProduct(plane));
    if (magnitude < 1.0e-12) {
        magnitude = 1.0e-12;
    }
    const dgFloat64 scale = length / magnitude;
    return dgPlaneDouble(plane.Scale(scale), plane.w * scale);
}

} // namespace

dgPlaneDouble TrianglePlane(dgInt32 a, dgInt32 b, dgInt32 c, dgVertexView vertices) {
    const dgPlaneDouble plane =
        dgPlaneDouble::FromPoints(vertices.PointDouble(a), vertices.PointDouble(b), vertices.PointDouble(c));
    return ScaleToLength(plane, 1.0);
}

dgPlaneDouble BoundaryPlane(dgInt32 a, dgInt32 other, dgInt32 third, dgVertexView vertices) {
    const dgVectorDouble p = vertices.PointDouble(a);
    const dgVectorDouble u = vertices.PointDouble(other).Sub(p);
    const dgVectorDouble w = vertices.PointDouble(third).Sub(p);
    const dgVectorDouble n = u.CrossProduct(w).CrossProduct(u);
    return ScaleToLength(dgPlaneDouble(n, -n.DotProduct(p)), 10.0);
}
