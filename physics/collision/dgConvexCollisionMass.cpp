// Mass properties of convex shapes: volume and inertia from the display faces, and the volume under a
// fluid plane from the polyhedron.

#include "physics/collision/dgConvexCollision.h"

#include "physics/collision/dgInlineArray.h"
#include "physics/collision/dgPolyhedraMassIntegrator.h"
#include "physics/dynamics/dgBody.h"

#include <cstring>

namespace {

constexpr dgInt32 kInlineEdges = 256;
constexpr dgInt32 kInlineVertices = 128;
constexpr dgFloat32 kOnPlane = 1.0e-5f;

void AccumulateDisplayFace(dgBody* body, dgInt32 vertexCount, const dgFloat32* points, dgInt32) {
    static_cast<dgPolyhedraMassIntegrator*>(body->m_userData)->AddFaceInertia(vertexCount, points);
}

} // namespace

dgFloat32 dgConvexCollision::CalcMassProperties(dgVector& diagonalOut, dgVector& productsOut,
                                                dgVector& firstMomentsOut) const {
    dgPolyhedraMassIntegrator integrator;
    dgBody body;
    body.m_matrix = dgGetIdentityMatrix();
    body.m_collisionMatrix = dgGetIdentityMatrix();
    body.m_userData = &integrator;
    body.m_collision = const_cast<dgConvexCollision*>(this);
    ForEachDisplayFace(dgGetIdentityMatrix(), &body, AccumulateDisplayFace);

    const dgVector t2 = integrator.GetT2();
    diagonalOut = dgVector(t2.y + t2.z, t2.x + t2.z, t2.x + t2.y, 1.0f);
    productsOut = integrator.GetTP();
    firstMomentsOut = integrator.GetT1();
    return static_cast<dgFloat32>(integrator.GetT0());
}

dgFloat32 dgConvexCollision::GetVolume() const {
    dgVector diagonal;
    dgVector products;
    dgVector firstMoments;
    return CalcMassProperties(diagonal, products, firstMoments);
}

// A shape whose faces enclose (almost) nothing still gets a finite inertia.
constexpr dgFloat32 kMinInertiaVolume = 0.001f;

void dgConvexCollision::CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const {
    dgVector diagonal;
    dgVector products;
    dgVector firstMoments;
    const dgFloat32 volume = CalcMassProperties(diagonal, products, firstMoments);
    dgInertiaFromMoments(volume, diagonal, firstMoments, kMinInertiaVolume, inertiaOut, centreOut);
}

dgPlane dgConvexCollision::LocalFluidPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                           void* context) const {
    dgPlane plane(dgVector(0.0f, 1.0f, 0.0f, 0.0f), -1.0e8f);
    if (callback == nullptr) {
        return plane;
    }
    dgFloat32 global[16];
    for (dgInt32 row = 0; row < 4; row++) {
        std::memcpy(&global[4 * row], &matrix[row], sizeof(dgVector));
    }
    dgFloat32 fluid[4] = {0.0f, 1.0f, 0.0f, -1.0e8f};
    if (callback(GetUserId(), context, global, fluid) == 0) {
        return plane;
    }
    const dgVector normal(fluid[0], fluid[1], fluid[2], 0.0f);
    const dgPlane local(matrix.InverseRotateVector(normal), normal.DotProduct(matrix.posit) + fluid[3]);
    // The cap is integrated with the plane as its face plane, which wants a unit normal.
    const dgFloat32 length2 = local.DotProduct(local);
    return length2 > 0.0f ? local.Normalised(0.0f) : plane;
}

dgVector dgConvexCollision::CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                                 void* context) const {
    const dgVector moments = CalcSubmergedMoments(LocalFluidPlane(matrix, callback, context));
    dgVector centre(moments.x, moments.y, moments.z, 1.0f);
    if (moments.w > 1.0e-8f) {
        centre = centre.Scale(0.5f / moments.w);
    }
    dgVector out = matrix.TransformVector(centre);
    out.w = moments.w;
    return out;
}

dgVector dgConvexCollision::CalcSubmergedMoments(const dgPlane& plane) const {
    if (m_vertexCount == 0 || m_edgeCount == 0) {
        return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    }
    dgInlineArray<dgFloat32, kInlineVertices> d(m_vertexCount);
    dgInt32 aboveCount = 0;
    dgInt32 belowCount = 0;
    for (dgInt32 i = 0; i < m_vertexCount; i++) {
        dgFloat32 value = plane.Evaluate(m_vertex[i]);
        if (value > kOnPlane) {
            aboveCount++;
        } else if (value < -kOnPlane) {
            belowCount++;
        } else {
            value = 0.0f;
        }
        d[i] = value;
    }
    // Vertices on the plane belong to both sides: only a vertex strictly across it makes a cut.
    if (belowCount == 0) {
        return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    }
    if (aboveCount == 0) {
        const dgVector& c = m_centreAndVolume;
        return dgVector(2.0f * c.w * c.x, 2.0f * c.w * c.y, 2.0f * c.w * c.z, c.w);
    }

    dgPolyhedraMassIntegrator integrator;
    dgInlineArray<dgUnsigned8, kInlineEdges> visited(m_edgeCount);
    dgInlineArray<dgVector, 2 * kInlineEdges> face(2 * m_edgeCount);
    dgInlineArray<dgVector, kInlineEdges> clipped(2 * m_edgeCount);
    for (dgInt32 i = 0; i < m_edgeCount; i++) {
        visited[i] = 0;
    }
    const dgConvexSimplexEdge* capStart = nullptr;
    for (dgInt32 i = 0; i < m_edgeCount; i++) {
        if (visited[i]) {
            continue;
        }
        dgInt32 faceCount = 0;
        dgInt32 clippedCount = 0;
        const dgConvexSimplexEdge* ptr = &m_simplex[i];
        do {
            visited[static_cast<dgInt32>(ptr - m_simplex)] = 1;
            const dgInt32 a = ptr->m_vertex;
            const dgInt32 b = ptr->m_twin->m_vertex;
            face[faceCount++] = m_vertex[a];
            if (d[a] <= 0.0f) {
                clipped[clippedCount++] = m_vertex[a];
            }
            if ((d[a] < 0.0f && d[b] > 0.0f) || (d[a] > 0.0f && d[b] < 0.0f)) {
                dgVector cut = m_vertex[a].Add(m_vertex[b].Sub(m_vertex[a]).Scale(d[a] / (d[a] - d[b])));
                cut.w = 1.0f;
                clipped[clippedCount++] = cut;
            }
            if (capStart == nullptr && d[a] >= 0.0f && d[b] < 0.0f) {
                capStart = ptr;
            }
            ptr = ptr->m_next;
        } while (ptr != &m_simplex[i] && faceCount < m_edgeCount);
        if (clippedCount >= 3) {
            // A clipped face lies in its face's plane, which the whole face gives most reliably.
            integrator.AddFaceVolume(clippedCount, dgPlane::FromPolygon(faceCount, face.GetData()),
                                     clipped.GetData());
        }
    }
    if (capStart != nullptr) {
        const dgInt32 capacity = m_edgeCount + 1;
        dgInlineArray<dgVector, kInlineEdges> cap(capacity);
        const dgInt32 count =
            WalkPlaneCut(capStart, d.GetData(), false, cap.GetData(), capacity, false, m_edgeCount);
        if (count >= 3) {
            integrator.AddFaceVolume(count, plane, cap.GetData());
        }
    }
    dgVector moments = integrator.GetT1();
    moments.w = static_cast<dgFloat32>(integrator.GetT0());
    return moments;
}
