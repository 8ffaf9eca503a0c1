// Ray cast of any convex shape through its support function: a tetrahedron of support points inside the
// shape is grown towards a probe that moves along the segment, one supporting plane at a time.

#include "physics/collision/dgConvexCollision.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgSearchDirections.h"

#include <cmath>
#include <utility>

namespace {

// Each row: a face (counter-clockwise seen from outside) and the vertex opposite it. The tetrahedron is
// kept with a negative triple product (s1 - s0) . ((s2 - s0) x (s3 - s0)), which makes every face
// normal (c1 - c0) x (c2 - c0) point out.
constexpr dgInt32 kTetrahedronFaces[4][4] = {{0, 1, 2, 3}, {0, 2, 3, 1}, {2, 1, 3, 0}, {1, 0, 3, 2}};

constexpr dgInt32 kMaxRounds = 128;
constexpr dgFloat32 kFarAway = 1.0e10f;

dgVector FaceNormal(const dgVector* tetrahedron, dgInt32 face) {
    const dgVector& c0 = tetrahedron[kTetrahedronFaces[face][0]];
    const dgVector& c1 = tetrahedron[kTetrahedronFaces[face][1]];
    const dgVector& c2 = tetrahedron[kTetrahedronFaces[face][2]];
    return c1.Sub(c0).CrossProduct(c2.Sub(c0));
}

dgFloat32 Distance2Of(const dgVector& a, const dgVector& b) {
    const dgVector d = a.Sub(b);
    return d.DotProduct(d);
}

dgFloat32 TripleProduct(const dgVector* t) {
    return t[1].Sub(t[0]).DotProduct(t[2].Sub(t[0]).CrossProduct(t[3].Sub(t[0])));
}

} // namespace

bool dgConvexCollision::SegmentTouchesLocalBox(const dgVector& p0, const dgVector& p1) const {
    dgFloat32 tMin = 0.0f;
    dgFloat32 tMax = 1.0f;
    for (dgInt32 axis = 0; axis < 3; axis++) {
        const dgFloat32 lo = m_boxOrigin[axis] - m_boxSize[axis];
        const dgFloat32 hi = m_boxOrigin[axis] + m_boxSize[axis];
        const dgFloat32 e = p1[axis] - p0[axis];
        if (std::fabs(e) < 1.0e-8f) {
            if (p0[axis] < lo || p0[axis] > hi) {
                return false;
            }
            continue;
        }
        const dgFloat32 inv = 1.0f / e;
        dgFloat32 t0 = (lo - p0[axis]) * inv;
        dgFloat32 t1 = (hi - p0[axis]) * inv;
        if (t0 > t1) {
            std::swap(t0, t1);
        }
        tMin = dgMax(tMin, t0);
        tMax = t1 < tMax ? t1 : tMax;
        if (!(tMin <= tMax)) {
            return false;
        }
    }
    return true;
}

dgInt32 dgConvexCollision::ApproachPoint(dgVector* tetrahedron, const dgVector& point,
                                         dgFloat32& distance) const {
    dgInt32 lastFace = -1;
    for (dgInt32 round = 0; round < kMaxRounds; round++) {
        dgInt32 face = -1;
        dgFloat32 bestDistance = 0.0f;
        dgVector unitNormal;
        for (dgInt32 f = 0; f < 4; f++) {
            const dgVector n = FaceNormal(tetrahedron, f);
            const dgFloat32 length2 = n.DotProduct(n);
            if (length2 > 1.0e-24f) {
                const dgVector unit = n.Scale(1.0f / std::sqrt(length2));
                const dgFloat32 dist = point.Sub(tetrahedron[kTetrahedronFaces[f][0]]).DotProduct(unit);
                if (dist > bestDistance) {
                    bestDistance = dist;
                    face = f;
                    unitNormal = unit;
                }
            }
        }
        if (face == -1) {
            distance = 0.0f;
            return -1;
        }
        lastFace = face;
        const dgInt32* corners = kTetrahedronFaces[face];
        const dgVector w = SupportVertex(unitNormal);
        if (w.Sub(tetrahedron[corners[0]]).DotProduct(unitNormal) < 1.0e-6f) {
            // The face is a supporting plane of the shape: the point lies outside, this far from it.
            distance = bestDistance;
            return face;
        }
        tetrahedron[corners[3]] = w;
        std::swap(tetrahedron[corners[0]], tetrahedron[corners[1]]);
        if (!(TripleProduct(tetrahedron) < 0.0f)) {
            std::swap(tetrahedron[1], tetrahedron[2]);
        }
    }
    distance = kFarAway;
    const dgVector n = FaceNormal(tetrahedron, lastFace);
    const dgVector unit = n.Scale(1.0f / std::sqrt(n.DotProduct(n) + 1.0e-24f));
    const dgVector& c0 = tetrahedron[kTetrahedronFaces[lastFace][0]];
    return SupportVertex(unit).Sub(c0).DotProduct(unit) < 0.001f ? lastFace : -1;
}

dgFloat32 dgConvexCollision::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                     dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    if (m_vertexCount == 0 || !SegmentTouchesLocalBox(p0, p1)) {
        return kNoHit;
    }
    const dgVector segment = p1.Sub(p0);
    const dgVector dir = segment.Scale(1.0f / std::sqrt(segment.DotProduct(segment) + 1.0e-24f));

    dgVector tetrahedron[4];
    tetrahedron[0] = SupportVertex(dir.Scale(-1.0f));
    tetrahedron[1] = SupportVertex(dir);
    dgInt32 k = 0;
    if (Distance2Of(tetrahedron[1], tetrahedron[0]) < 0.01f) {
        for (;; k++) {
            if (k >= kSearchDirectionCount) {
                return kNoHit;
            }
            tetrahedron[1] = SupportVertex(kSearchDirections[k]);
            if (Distance2Of(tetrahedron[1], tetrahedron[0]) > 1.0e-4f) {
                break;
            }
        }
    }
    dgVector m;
    for (k++;; k++) {
        if (k >= kSearchDirectionCount) {
            return kNoHit;
        }
        tetrahedron[2] = SupportVertex(kSearchDirections[k]);
        m = tetrahedron[1].Sub(tetrahedron[0]).CrossProduct(tetrahedron[2].Sub(tetrahedron[0]));
        if (m.DotProduct(m) > 1.0e-4f) {
            break;
        }
    }
    dgFloat32 volume = 0.0f;
    for (k++;; k++) {
        if (k >= kSearchDirectionCount) {
            return kNoHit;
        }
        tetrahedron[3] = SupportVertex(kSearchDirections[k]);
        volume = tetrahedron[3].Sub(tetrahedron[0]).DotProduct(m);
        if (std::fabs(volume) > 1.0e-4f) {
            break;
        }
    }
    if (volume > 0.0f) {
        std::swap(tetrahedron[0], tetrahedron[1]);
    }

    dgFloat32 distance = kFarAway;
    dgInt32 face = ApproachPoint(tetrahedron, p0, distance);
    dgFloat32 t = 0.0f;
    // Starting inside, no face is crossed: the only meaningful direction is against the ray.
    dgVector normal = dir.Scale(-1.0f);
    for (dgInt32 round = 0; round < kMaxRounds && face != -1 && distance > 1.0e-5f; round++) {
        const dgVector n = FaceNormal(tetrahedron, face);
        const dgFloat32 den = segment.DotProduct(n);
        if (!(std::fabs(den) > 0.0f)) {
            break;
        }
        const dgFloat32 tFace = tetrahedron[kTetrahedronFaces[face][0]].Sub(p0).DotProduct(n) / den;
        if (!(t <= tFace && tFace < 1.0f)) {
            break;
        }
        normal = n;
        t = tFace;
        distance = kFarAway;
        face = ApproachPoint(tetrahedron, p0.Add(segment.Scale(t)), distance);
    }
    if (!(distance < 1.0e-4f)) {
        return kNoHit;
    }
    const dgVector unit = normal.Scale(1.0f / std::sqrt(normal.DotProduct(normal) + 1.0e-24f));
    contactOut.m_normal = dgVector(unit.x, unit.y, unit.z, 0.0f);
    contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
    return t;
}
