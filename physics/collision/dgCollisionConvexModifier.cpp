#include "physics/collision/dgCollisionConvexModifier.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr dgFloat32 kPivotTolerance = 0.001f;

dgVector Row(const dgMatrix& m, dgInt32 i) {
    return m[i];
}

// The display callback of the mirrored display, one per thread; the previous one is restored after, so
// displays may nest.
thread_local dgCollisionFaceCallback g_mirroredCallback = nullptr;

void ReverseFace(dgBody* body, dgInt32 count, const dgFloat32* points, dgInt32 faceId) {
    std::vector<dgFloat32> reversed(3 * static_cast<std::size_t>(count));
    for (dgInt32 i = 0; i < count; i++) {
        std::memcpy(&reversed[3 * static_cast<std::size_t>(i)], &points[3 * (count - 1 - i)], 3 * sizeof(dgFloat32));
    }
    g_mirroredCallback(body, count, reversed.data(), faceId);
}

dgInt32 ChildPlane(std::uintptr_t, void* context, const dgFloat32*, dgFloat32* plane) {
    std::memcpy(plane, context, 4 * sizeof(dgFloat32));
    return 1;
}

} // namespace

dgCollisionConvexModifier::dgCollisionConvexModifier(dgConvexCollision* child, dgWorld* world,
                                                     dgCollisionReleaseCallback release)
    : dgConvexCollision(0, dgGetIdentityMatrix(), kConvexModifierCollision), m_modifier(dgGetIdentityMatrix()),
      m_inverse(dgGetIdentityMatrix()), m_world(world), m_child(child), m_det(1.0f), m_release(release) {
    dgAssert(child != nullptr);
    m_child->AddRef();
    SetUserId(m_child->GetUserId());
}

dgCollisionConvexModifier::~dgCollisionConvexModifier() {
    if (m_release != nullptr) {
        m_release(m_world, m_child);
    } else {
        dgRefRelease(m_child);
    }
}

dgUnsigned32 dgCollisionConvexModifier::GetTypeId() const {
    return dgCollisionConvexModifierClassId;
}

bool dgCollisionConvexModifier::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionConvexModifierClassId || dgConvexCollision::IsType(typeId);
}

void dgCollisionConvexModifier::SetCollisionBBox(const dgVector&, const dgVector&) {}

dgUnsigned32 dgCollisionConvexModifier::CalcSignature() const {
    return 0;
}

dgMatrix dgCollisionConvexModifier::GetModifierMatrix() const {
    return m_modifier;
}

void dgCollisionConvexModifier::SetModifierMatrix(const dgMatrix& matrix) {
    TrySetModifierMatrix(matrix);
}

bool dgCollisionConvexModifier::TrySetModifierMatrix(const dgMatrix& matrix) {
    dgFloat32 rows[4][8];
    for (dgInt32 i = 0; i < 4; i++) {
        for (dgInt32 j = 0; j < 4; j++) {
            rows[i][j] = matrix[i][j];
            rows[i][4 + j] = i == j ? 1.0f : 0.0f;
        }
    }
    dgFloat32 det = 1.0f;
    for (dgInt32 k = 0; k < 4; k++) {
        if (std::fabs(rows[k][k]) < kPivotTolerance) {
            for (dgInt32 j = k + 1; j < 4; j++) {
                if (std::fabs(rows[j][k]) > kPivotTolerance) {
                    for (dgInt32 c = 0; c < 8; c++) {
                        rows[k][c] += rows[j][c];
                    }
                    break;
                }
            }
        }
        const dgFloat32 pivot = rows[k][k];
        det *= pivot;
        // A vanishing pivot means a singular matrix: dividing by it would fill the inverse with
        // infinities, so the previous matrix stays.
        if (!(std::fabs(det) >= kMinDeterminant)) {
            return false;
        }
        const dgFloat32 inv = 1.0f / pivot;
        for (dgInt32 c = 0; c < 8; c++) {
            rows[k][c] *= inv;
        }
        for (dgInt32 i = 0; i < 4; i++) {
            if (i == k) {
                continue;
            }
            const dgFloat32 factor = rows[i][k];
            for (dgInt32 c = 0; c < 8; c++) {
                rows[i][c] -= factor * rows[k][c];
            }
        }
    }
    m_modifier = matrix;
    for (dgInt32 i = 0; i < 4; i++) {
        m_inverse[i] = dgVector(rows[i][4], rows[i][5], rows[i][6], rows[i][7]);
    }
    m_det = det;
    return true;
}

dgVector dgCollisionConvexModifier::ToModified(const dgVector& p) const {
    dgVector out = m_modifier.RotateVector(p).Add(m_modifier.posit);
    out.w = m_modifier.posit.w;
    return out;
}

dgVector dgCollisionConvexModifier::DirectionToChild(const dgVector& d) const {
    const dgVector dir(d.DotProduct(Row(m_modifier, 0)), d.DotProduct(Row(m_modifier, 1)),
                       d.DotProduct(Row(m_modifier, 2)), 0.0f);
    return dir.Scale(1.0f / std::sqrt(dir.DotProduct(dir)));
}

dgVector dgCollisionConvexModifier::SupportVertex(const dgVector& dir) const {
    return ToModified(m_child->SupportVertex(DirectionToChild(dir)));
}

void dgCollisionConvexModifier::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    minOut = dgVector(0.0f, 0.0f, 0.0f, 1.0f);
    maxOut = dgVector(0.0f, 0.0f, 0.0f, 1.0f);
    for (dgInt32 i = 0; i < 3; i++) {
        const dgVector axis(matrix.front[i], matrix.up[i], matrix.right[i], 0.0f);
        const dgVector low = matrix.RotateVector(SupportVertex(axis.Scale(-1.0f)));
        const dgVector high = matrix.RotateVector(SupportVertex(axis));
        (&minOut.x)[i] = matrix.posit[i] + low[i];
        (&maxOut.x)[i] = matrix.posit[i] + high[i];
    }
}

dgFloat32 dgCollisionConvexModifier::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                             dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    dgVector q0 = m_inverse.RotateVector(p0).Add(m_inverse.posit);
    dgVector q1 = m_inverse.RotateVector(p1).Add(m_inverse.posit);
    q0.w = 1.0f;
    q1.w = 1.0f;
    const dgFloat32 t = m_child->RayCast(q0, q1, contactOut, nullptr, nullptr, nullptr);
    if (t < kNoHit) {
        // Normals go through the inverse transpose; the child's is only right for a pure rotation.
        const dgVector& n = contactOut.m_normal;
        dgVector normal(n.DotProduct(Row(m_inverse, 0)), n.DotProduct(Row(m_inverse, 1)),
                        n.DotProduct(Row(m_inverse, 2)), 0.0f);
        const dgFloat32 mag2 = normal.DotProduct(normal);
        if (mag2 > 0.0f) {
            normal = normal.Scale(1.0f / std::sqrt(mag2));
            normal.w = n.w;
            contactOut.m_normal = normal;
        }
    }
    return t;
}

dgInt32 dgCollisionConvexModifier::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                         dgVector* out) const {
    dgVector p = m_inverse.RotateVector(point).Add(m_inverse.posit);
    p.w = 1.0f;
    const dgInt32 count = m_child->CalcPlaneIntersection(DirectionToChild(normal), p, out);
    for (dgInt32 i = 0; i < count; i++) {
        out[i] = ToModified(out[i]);
    }
    return count;
}

dgFloat32 dgCollisionConvexModifier::GetVolume() const {
    return m_child->GetVolume() * std::fabs(m_det);
}

void dgCollisionConvexModifier::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    const dgMatrix childOffset = m_child->GetOffsetMatrix();
    dgCollision* bodyCollision = nullptr;
    if (body != nullptr) {
        bodyCollision = body->m_collision;
        body->m_collision = m_child;
    }
    m_child->SetOffsetMatrix(m_modifier);
    if (m_det < 0.0f) {
        const dgCollisionFaceCallback previous = std::exchange(g_mirroredCallback, callback);
        m_child->ForEachDisplayFace(bodyMatrix, body, ReverseFace);
        g_mirroredCallback = previous;
    } else {
        m_child->ForEachDisplayFace(bodyMatrix, body, callback);
    }
    m_child->SetOffsetMatrix(childOffset);
    if (body != nullptr) {
        body->m_collision = bodyCollision;
    }
}

dgVector dgCollisionConvexModifier::CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                                         void* context) const {
    dgFloat32 childPlane[4] = {0.0f, 1.0f, 0.0f, -1.0e8f};
    if (callback != nullptr) {
        const dgPlane local = LocalFluidPlane(matrix, callback, context);
        const dgVector normal = DirectionToChild(local);
        dgVector onPlane = local.Scale(-local.w / local.DotProduct(local));
        onPlane = m_inverse.RotateVector(onPlane).Add(m_inverse.posit);
        childPlane[0] = normal.x;
        childPlane[1] = normal.y;
        childPlane[2] = normal.z;
        childPlane[3] = -normal.DotProduct(onPlane);
    }
    // The child integrates in its own space; the identity placement leaves its answer there.
    const dgVector child = m_child->CalcVolumeUnderPlane(dgGetIdentityMatrix(), ChildPlane, childPlane);
    dgVector centre = ToModified(dgVector(child.x, child.y, child.z, 1.0f));
    centre = matrix.TransformVector(centre);
    centre.w = child.w * std::fabs(m_det);
    return centre;
}
