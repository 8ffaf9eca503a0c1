// Convex hull building from arbitrary point clouds. Points are read as small-lattice coordinates, so
// duplicates, collinear and coplanar sets are common, mixed with raw floats (huge, tiny, not finite).
// The hull must either stay empty or be a closed triangle mesh whose vertices hold every input point
// within the build tolerances; nothing may crash or leak.
//
// Layout: byte 0 picks lattice (even) or raw floats (odd); then three bytes (lattice) or twelve bytes
// (raw) per point.

#include "physics/collision/dgCollisionConvexHull.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckHull(const dgCollisionConvexHull& hull) {
    if (hull.IsEmpty()) {
        Check(hull.GetEdgeCount() == 0 && hull.GetFaceCount() == 0);
        return;
    }
    const dgConvexSimplexEdge* edges = hull.GetEdges();
    for (dgInt32 i = 0; i < hull.GetEdgeCount(); i++) {
        const dgConvexSimplexEdge& e = edges[i];
        Check(e.m_twin != nullptr && e.m_twin->m_twin == &e);
        Check(e.m_next->m_next->m_next == &e && e.m_prev->m_next == &e);
        Check(e.m_vertex >= 0 && e.m_vertex < hull.GetVertexCount());
        Check(e.m_next->m_vertex == e.m_twin->m_vertex);
    }
    Check(hull.GetVertexCount() - hull.GetEdgeCount() / 2 + hull.GetFaceCount() == 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool raw = (data[0] & 1) != 0;
    std::vector<dgFloat32> points;
    std::size_t at = 1;
    if (raw) {
        for (; at + 12 <= size && points.size() < 3 * 2048; at += 12) {
            dgFloat32 xyz[3];
            std::memcpy(xyz, data + at, sizeof(xyz));
            points.insert(points.end(), xyz, xyz + 3);
        }
    } else {
        for (; at + 3 <= size && points.size() < 3 * 2048; at += 3) {
            for (int k = 0; k < 3; k++) {
                points.push_back(static_cast<dgFloat32>(data[at + k] % 8) * 0.5f);
            }
        }
    }
    const dgInt32 count = static_cast<dgInt32>(points.size() / 3);
    auto* hull = new dgCollisionConvexHull(0u, count, 12, points.empty() ? nullptr : points.data(),
                                           dgGetIdentityMatrix());
    CheckHull(*hull);
    if (!hull->IsEmpty()) {
        const dgVector s = hull->SupportVertex(dgVector(0.3f, -0.5f, 0.81f, 0.0f));
        Check(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z));
    }
    dgRefRelease(hull);
    return 0;
}
