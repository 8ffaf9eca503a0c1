#include "physics/collision/dgIntersections.h"

#include <cmath>
#include <cstring>

namespace {

// Vertex index of a strided float array as a point (w 1.0); byte addressing because soup
// strides need not be multiples of four.
dgVector IndexedVertex(const dgFloat32* vertices, dgInt32 strideBytes, dgInt32 index) {
    dgFloat32 xyz[3];
    std::memcpy(xyz,
                reinterpret_cast<const unsigned char*>(vertices) +
                    static_cast<std::ptrdiff_t>(index) * strideBytes,
                sizeof(xyz));
    return dgVector(xyz);
}

// Moves end a of segment a-b onto the plane coordinate axis = plane.
void MoveOntoPlane(dgVector& a, const dgVector& b, dgInt32 axis, dgFloat32 plane) {
    const dgFloat32 t = (plane - a[axis]) / (b[axis] - a[axis]);
    const dgFloat32 w = a.w;
    a = a.Add(b.Sub(a).Scale(t));
    a[axis] = plane;
    a.w = w;
}

// Keeps the part of a-b on the inner side of one face plane; false when nothing is left.
bool ClipToPlane(dgVector& a, dgVector& b, dgInt32 axis, dgFloat32 plane, bool isMax) {
    const bool aOut = isMax ? a[axis] > plane : a[axis] < plane;
    const bool bOut = isMax ? b[axis] > plane : b[axis] < plane;
    if (aOut && bOut) {
        return false;
    }
    if (aOut) {
        MoveOntoPlane(a, b, axis, plane);
    } else if (bOut) {
        MoveOntoPlane(b, a, axis, plane);
    }
    return true;
}

// Parameter in [0, 1] of the point of segment p0-p1 nearest to point.
dgFloat32 SegmentParameter(const dgVector& point, const dgVector& p0, const dgVector& p1) {
    const dgVector d = p1.Sub(p0);
    const dgFloat32 t = point.Sub(p0).DotProduct(d) / d.DotProduct(d);
    // A degenerate segment gives 0/0: take p0.
    if (!(t >= 0.0f)) {
        return 0.0f;
    }
    return t > 1.0f ? 1.0f : t;
}

// outA is the end of segment a chosen by clamping; outB its nearest point on segment b. When that
// point is itself clamped to an end of b, the nearest point of a to it is the answer for a.
void ClampedToEnd(const dgVector& end, const dgVector& a0, const dgVector& a1, const dgVector& b0,
                  const dgVector& b1, dgVector& outA, dgVector& outB) {
    const dgFloat32 t = SegmentParameter(end, b0, b1);
    outB = b0.Add(b1.Sub(b0).Scale(t));
    outA = (t <= 0.0f || t >= 1.0f) ? ClosestPointOnSegment(outB, a0, a1) : end;
}

dgFloat32 DistanceSquared(const dgVector& a, const dgVector& b) {
    const dgVector d = a.Sub(b);
    return d.DotProduct(d);
}

} // namespace

bool BoxesOverlap(const dgVector& min0, const dgVector& max0, const dgVector& min1, const dgVector& max1) {
    if (min0.x >= max1.x || max0.x <= min1.x) {
        return false;
    }
    if (min0.z >= max1.z || max0.z <= min1.z) {
        return false;
    }
    if (min0.y >= max1.y || max0.y <= min1.y) {
        return false;
    }
    return true;
}

dgVector ClosestPointOnSegment(const dgVector& point, const dgVector& p0, const dgVector& p1) {
    return p0.Add(p1.Sub(p0).Scale(SegmentParameter(point, p0, p1)));
}

void ClosestPointsOfSegments(const dgVector& a0, const dgVector& a1, const dgVector& b0, const dgVector& b1,
                             dgVector& outA, dgVector& outB) {
    const dgVector da = a1.Sub(a0);
    const dgVector db = b1.Sub(b0);
    const dgVector r = a0.Sub(b0);
    // Normal equations of |r + s*da - t*db|^2: [A B; B E] (s, -t) = (C, F).
    const dgFloat32 A = da.DotProduct(da);
    const dgFloat32 E = db.DotProduct(db);
    const dgFloat32 B = -da.DotProduct(db);
    const dgFloat32 C = -r.DotProduct(da);
    const dgFloat32 F = r.DotProduct(db);
    const dgFloat32 den = A * E - B * B;
    if (std::fabs(den) < 1.0e-8f) {
        outA = a0.Add(a1).Scale(0.5f);
        outB = b0.Add(b1).Scale(0.5f);
        return;
    }
    const dgFloat32 s = (C * E - F * B) / den;
    if (s < 0.0f) {
        ClampedToEnd(a0, a0, a1, b0, b1, outA, outB);
        return;
    }
    if (s > 1.0f) {
        ClampedToEnd(a1, a0, a1, b0, b1, outA, outB);
        return;
    }
    const dgFloat32 t = (F * A - C * B) / den;
    if (t < 0.0f) {
        outB = b0;
        outA = ClosestPointOnSegment(b0, a0, a1);
    } else if (t > 1.0f) {
        outB = b1;
        outA = ClosestPointOnSegment(b1, a0, a1);
    } else {
        outA = a0.Add(da.Scale(s));
        outB = b0.Add(db.Scale(t));
    }
}

dgVector ClosestPointOnTriangle(const dgVector& p, const dgVector& a, const dgVector& b, const dgVector& c) {
    const dgVector ab = b.Sub(a);
    const dgVector ac = c.Sub(a);
    const dgVector ap = p.Sub(a);
    const dgFloat32 d1 = ab.DotProduct(ap);
    const dgFloat32 d2 = ac.DotProduct(ap);
    if (d1 <= 0.0f && d2 <= 0.0f) {
        return a;
    }
    const dgVector bp = p.Sub(b);
    const dgFloat32 d3 = ab.DotProduct(bp);
    const dgFloat32 d4 = ac.DotProduct(bp);
    if (d3 >= 0.0f && d4 <= d3) {
        return b;
    }
    // Edge regions also need a non-degenerate edge: coincident corners would divide 0 by 0.
    const dgFloat32 vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f && d1 - d3 > 0.0f) {
        return a.Add(ab.Scale(d1 / (d1 - d3)));
    }
    const dgVector cp = p.Sub(c);
    const dgFloat32 d5 = ab.DotProduct(cp);
    const dgFloat32 d6 = ac.DotProduct(cp);
    if (d6 >= 0.0f && d5 <= d6) {
        return c;
    }
    const dgFloat32 vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f && d2 - d6 > 0.0f) {
        return a.Add(ac.Scale(d2 / (d2 - d6)));
    }
    const dgFloat32 va = d3 * d6 - d5 * d4;
    const dgFloat32 bcStart = d4 - d3;
    const dgFloat32 bcEnd = d5 - d6;
    if (va <= 0.0f && bcStart >= 0.0f && bcEnd >= 0.0f && bcStart + bcEnd > 0.0f) {
        return b.Add(c.Sub(b).Scale(bcStart / (bcStart + bcEnd)));
    }
    const dgFloat32 area = va + vb + vc;
    if (!(area > 0.0f)) {
        // A triangle without area: its nearest point is on one of its edges.
        const dgVector onAB = ClosestPointOnSegment(p, a, b);
        const dgVector onAC = ClosestPointOnSegment(p, a, c);
        const dgVector onBC = ClosestPointOnSegment(p, b, c);
        dgVector best = onAB;
        if (DistanceSquared(p, onAC) < DistanceSquared(p, best)) {
            best = onAC;
        }
        if (DistanceSquared(p, onBC) < DistanceSquared(p, best)) {
            best = onBC;
        }
        return best;
    }
    const dgFloat32 inv = 1.0f / area;
    return a.Add(ab.Scale(vb * inv)).Add(ac.Scale(vc * inv));
}

bool ClosestPointOnPolygon(const dgVector& point, const dgFloat32* vertices, dgInt32 strideBytes,
                           const dgInt32* indices, dgInt32 indexCount, dgFloat32 maxDistance, dgVector& out) {
    if (indexCount < 3) {
        return false;
    }
    const dgVector c0 = IndexedVertex(vertices, strideBytes, indices[0]);
    dgVector previous = IndexedVertex(vertices, strideBytes, indices[1]);
    dgVector best;
    dgFloat32 bestDist2 = 1.0e20f;
    for (dgInt32 i = 2; i < indexCount; i++) {
        const dgVector current = IndexedVertex(vertices, strideBytes, indices[i]);
        const dgVector q = ClosestPointOnTriangle(point, c0, previous, current);
        const dgFloat32 dist2 = DistanceSquared(point, q);
        if (dist2 < bestDist2) {
            bestDist2 = dist2;
            best = q;
        }
        previous = current;
    }
    if (maxDistance * maxDistance < bestDist2) {
        return false;
    }
    out = dgVector(best.x, best.y, best.z, 1.0f);
    return true;
}

bool ClipSegmentToBox(dgVector& a, dgVector& b, const dgVector& boxMin, const dgVector& boxMax) {
    return ClipToPlane(a, b, 0, boxMax.x, true) && ClipToPlane(a, b, 0, boxMin.x, false) &&
           ClipToPlane(a, b, 2, boxMax.z, true) && ClipToPlane(a, b, 2, boxMin.z, false) &&
           ClipToPlane(a, b, 1, boxMax.y, true) && ClipToPlane(a, b, 1, boxMin.y, false);
}

bool RayPolygonIntersect(const dgVector& p0, const dgVector& p1, const dgFloat32* vertices,
                         dgInt32 strideBytes, const dgInt32* indices, dgInt32 indexCount, dgFloat32& tOut,
                         dgVector& normalOut) {
    if (indexCount < 3) {
        return false;
    }
    const dgVector c0 = IndexedVertex(vertices, strideBytes, indices[0]);
    const dgVector c1 = IndexedVertex(vertices, strideBytes, indices[1]);
    const dgVector c2 = IndexedVertex(vertices, strideBytes, indices[2]);
    const dgVector n = c1.Sub(c0).CrossProduct(c2.Sub(c0));
    const dgVector d = p1.Sub(p0);
    const dgFloat32 dn = d.DotProduct(n);
    // Parallel, or arriving at the back face.
    if (dn >= 0.0f) {
        return false;
    }
    const dgFloat32 t = n.DotProduct(c0.Sub(p0)) / dn;
    if (t < 0.0f || t > 1.0f) {
        return false;
    }
    const dgVector q = p0.Add(d.Scale(t));
    const dgVector w = q.Sub(c0);
    dgVector previous = c1;
    for (dgInt32 i = 2; i < indexCount; i++) {
        const dgVector current = i == 2 ? c2 : IndexedVertex(vertices, strideBytes, indices[i]);
        const dgVector e0 = previous.Sub(c0);
        const dgVector e1 = current.Sub(c0);
        previous = current;
        const dgFloat32 d00 = e0.DotProduct(e0);
        const dgFloat32 d01 = e0.DotProduct(e1);
        const dgFloat32 d11 = e1.DotProduct(e1);
        const dgFloat32 d20 = w.DotProduct(e0);
        const dgFloat32 d21 = w.DotProduct(e1);
        const dgFloat32 gram = d00 * d11 - d01 * d01;
        if (gram <= 0.0f) {
            continue;
        }
        // Barycentric coordinates scaled by the Gram determinant, with a small grace on all three
        // edges: a segment through a shared edge or corner is rounded off every face that owns it
        // unless each face takes its own boundary, far edge included.
        const dgFloat32 u = d11 * d20 - d01 * d21;
        const dgFloat32 v = d00 * d21 - d01 * d20;
        const dgFloat32 grace = 1.0e-5f * gram;
        if (u >= -grace && v >= -grace && u + v <= gram + grace) {
            tOut = t;
            normalOut = n;
            return true;
        }
    }
    return false;
}
