#include "physics/collision/dgAxialShapeParts.h"

#include "physics/collision/dgConvexCollision.h"

#include <cmath>

namespace {

constexpr dgFloat32 kSteepCut = 0.999f;
constexpr dgFloat32 kGrazing = 1.0e-8f;

} // namespace

dgVector RimPointTowards(const dgVector& dir, dgFloat32 radius, dgFloat32 step, dgFloat32 invStep,
                         dgFloat32 cosStep, dgFloat32 sinStep) {
    const dgFloat32 a = std::floor(dgAtan2(dir.y, dir.z) * invStep) * step;
    const dgFloat32 y0 = radius * std::sin(a);
    const dgFloat32 z0 = radius * std::cos(a);
    const dgFloat32 y1 = y0 * cosStep + z0 * sinStep;
    const dgFloat32 z1 = z0 * cosStep - y0 * sinStep;
    if (y1 * dir.y + z1 * dir.z > y0 * dir.y + z0 * dir.z) {
        return dgVector(0.0f, y1, z1, 0.0f);
    }
    return dgVector(0.0f, y0, z0, 0.0f);
}

dgMatrix TurnAboutXToFace(const dgVector& normal) {
    const dgFloat32 inv = 1.0f / std::sqrt(normal.y * normal.y + normal.z * normal.z);
    const dgFloat32 c = normal.y * inv;
    const dgFloat32 s = normal.z * inv;
    return dgMatrix(dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, c, s, 0.0f), dgVector(0.0f, -s, c, 0.0f),
                    dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

void TurnBack(const dgMatrix& turn, dgVector* points, dgInt32 count) {
    for (dgInt32 i = 0; i < count; i++) {
        const dgFloat32 w = points[i].w;
        points[i] = turn.RotateVector(points[i]);
        points[i].w = w;
    }
}

dgInt32 CutFacingThePlane(const dgConvexCollision& shape, const dgVector& normal, const dgVector& point,
                          dgVector* out) {
    if (!(std::fabs(normal.x) < kSteepCut)) {
        return shape.dgConvexCollision::CalcPlaneIntersection(normal, point, out);
    }
    const dgMatrix turn = TurnAboutXToFace(normal);
    dgVector turnedNormal = turn.InverseRotateVector(normal);
    turnedNormal.w = normal.w;
    const dgInt32 count =
        shape.dgConvexCollision::CalcPlaneIntersection(turnedNormal, turn.InverseRotateVector(point), out);
    TurnBack(turn, out, count);
    return count;
}

dgFloat32 SideCrossing(const dgVector& p0, const dgVector& d, dgFloat32 c) {
    const dgFloat32 a = d.y * d.y + d.z * d.z;
    const dgFloat32 b = 2.0f * (p0.y * d.y + p0.z * d.z);
    const dgFloat32 disc = b * b - 4.0f * a * c;
    if (disc > kGrazing) {
        const dgFloat32 side = (-b - std::sqrt(disc)) * 0.5f / a;
        if (side >= 0.0f && side < 1.0f) {
            return side;
        }
    }
    return -1.0f;
}

void FillEndRings(dgVector* points, dgInt32 count, dgFloat32 radius, dgFloat32 halfLength) {
    const dgFloat32 step = 6.28318f / static_cast<dgFloat32>(count);
    for (dgInt32 k = 0; k < count; k++) {
        const dgFloat32 angle = static_cast<dgFloat32>(k) * step;
        const dgFloat32 y = radius * std::cos(angle);
        const dgFloat32 z = radius * std::sin(angle);
        points[k] = dgVector(-halfLength, y, z, 1.0f);
        points[count + k] = dgVector(halfLength, y, z, 1.0f);
    }
}

void DisplayQuad(const dgFloat32* global, const dgInt32 (&order)[4], dgBody* body, dgCollisionFaceCallback callback) {
    dgFloat32 quad[12];
    for (dgInt32 i = 0; i < 4; i++) {
        for (dgInt32 j = 0; j < 3; j++) {
            quad[3 * i + j] = global[3 * order[i] + j];
        }
    }
    callback(body, 4, quad, 0);
}

void DisplayRingBand(const dgFloat32* global, dgInt32 count, dgBody* body, dgCollisionFaceCallback callback) {
    for (dgInt32 k = 0; k < count; k++) {
        const dgInt32 prev = k == 0 ? count - 1 : k - 1;
        DisplayQuad(global, {prev, k, count + k, count + prev}, body, callback);
    }
}
