// Collision functions of the flat interface: shape creation through the world's cache, shape
// properties, queries between placed shapes, release, and the Euler-angle helpers.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/collision/dgCompoundCollision.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {

constexpr float kSameRadius = 1.0e-5f;

bool IsConvex(const dgCollision* collision) {
    return collision->IsType(dgConvexCollisionClassId);
}

} // namespace

dgCollision* dgApiCollisionCreateNull(dgWorld* world) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* { return world->CreateNull(); });
}

dgCollision* dgApiCollisionCreateBox(dgWorld* world, float dx, float dy, float dz,
                                     const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgCollision* { return world->CreateBox(dx, dy, dz, dgApiMatrix(offsetMatrix)); });
}

dgCollision* dgApiCollisionCreateSphere(dgWorld* world, float radiusX, float radiusY, float radiusZ,
                                        const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* {
        const float rx = std::fabs(radiusX);
        const float ry = std::fabs(radiusY);
        const float rz = std::fabs(radiusZ);
        const dgMatrix offset = dgApiMatrix(offsetMatrix);
        if (std::fabs(rx - ry) < kSameRadius && std::fabs(rx - rz) < kSameRadius) {
            return world->CreateSphere(rx, offset);
        }
        return world->CreateEllipse(rx, ry, rz, offset);
    });
}

dgCollision* dgApiCollisionCreateCone(dgWorld* world, float radius, float height, const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgCollision* { return world->CreateCone(radius, height, dgApiMatrix(offsetMatrix)); });
}

dgCollision* dgApiCollisionCreateCapsule(dgWorld* world, float radius, float height,
                                         const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgCollision* { return world->CreateCapsule(radius, height, dgApiMatrix(offsetMatrix)); });
}

dgCollision* dgApiCollisionCreateCylinder(dgWorld* world, float radius, float height,
                                          const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgCollision* { return world->CreateCylinder(radius, height, dgApiMatrix(offsetMatrix)); });
}

dgCollision* dgApiCollisionCreateChamferCylinder(dgWorld* world, float radius, float height,
                                                 const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* {
        return world->CreateChamferCylinder(radius, height, dgApiMatrix(offsetMatrix));
    });
}

dgCollision* dgApiCollisionCreateConvexHull(dgWorld* world, int count, const float* vertices,
                                            int strideInBytes, const float* offsetMatrix) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* {
        return world->CreateConvexHull(count, vertices, strideInBytes, dgApiMatrix(offsetMatrix));
    });
}

dgCollision* dgApiCollisionCreateConvexModifier(dgWorld* world, dgCollision* convexCollision) {
    if (world == nullptr || convexCollision == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* { return world->CreateConvexModifier(convexCollision); });
}

dgCollision* dgApiCollisionCreateCompound(dgWorld* world, int count, dgCollision* const* collisions) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* { return world->CreateCompound(count, collisions); });
}

void dgApiConvexCollisionSetUserID(dgCollision* convexCollision, unsigned id) {
    if (convexCollision == nullptr) {
        return;
    }
    if (IsConvex(convexCollision)) {
        convexCollision->SetUserId(id);
    }
}

unsigned dgApiConvexCollisionGetUserID(dgCollision* convexCollision) {
    if (convexCollision == nullptr) {
        return 0;
    }
    // A soup's id is its database pointer, no user id.
    return IsConvex(convexCollision) ? static_cast<unsigned>(convexCollision->GetUserId()) : 0u;
}

float dgApiConvexCollisionCalculateVolume(dgCollision* convexCollision) {
    if (convexCollision == nullptr) {
        return 0;
    }
    return convexCollision->GetVolume();
}

void dgApiConvexCollisionCalculateInertialMatrix(dgCollision* convexCollision, float* inertia,
                                                 float* origin) {
    if (convexCollision == nullptr) {
        return;
    }
    dgVector inertiaOut;
    dgVector centreOut;
    convexCollision->CalcInertia(inertiaOut, centreOut);
    dgApiWriteVector(inertiaOut, inertia);
    dgApiWriteVector(centreOut, origin);
}

void dgApiConvexModifierGetMatrix(dgCollision* convexCollision, float* matrix) {
    if (convexCollision == nullptr) {
        return;
    }
    dgApiWriteMatrix(convexCollision->GetModifierMatrix(), matrix);
}

void dgApiConvexModifierSetMatrix(dgCollision* convexCollision, const float* matrix) {
    if (convexCollision == nullptr) {
        return;
    }
    convexCollision->SetModifierMatrix(dgApiMatrix(matrix));
}

float dgApiCollisionRayCast(dgCollision* collision, const float* p0, const float* p1, float* normal,
                            int* attribute) {
    if (collision == nullptr) {
        return 0;
    }
    const dgMatrix& offset = collision->GetOffsetMatrix();
    const dgVector q0 = offset.InverseTransformVector(dgApiPoint(p0));
    const dgVector q1 = offset.InverseTransformVector(dgApiPoint(p1));
    dgContactPoint contact;
    const float t = collision->RayCast(q0, q1, contact, nullptr, nullptr, nullptr);
    // A parameter of exactly 1 (a sphere or a soup face met at the segment's end) comes without a filled
    // record, like a miss.
    if (t >= 0.0f && t < 1.0f) {
        *attribute = static_cast<int>(contact.m_attribute);
        dgApiWriteVector(offset.RotateVector(contact.m_normal), normal);
    }
    return t;
}

void dgApiCollisionCalculateAABB(dgCollision* collision, const float* matrix, float* minPoint,
                                 float* maxPoint) {
    if (collision == nullptr) {
        return;
    }
    const dgMatrix placed = collision->GetOffsetMatrix().Multiply(dgApiMatrix(matrix));
    dgVector minBox;
    dgVector maxBox;
    collision->CalcWorldBox(placed, minBox, maxBox);
    dgApiWriteVector(minBox, minPoint);
    dgApiWriteVector(maxBox, maxPoint);
}

int dgApiCollisionPointDistance(dgWorld* world, const float* point, dgCollision* collision,
                                const float* matrix, float* contact, float* normal) {
    if (world == nullptr || collision == nullptr) {
        return 0;
    }
    dgVector contactOut;
    dgVector normalOut;
    const int result =
        world->PointDistance(dgApiPoint(point), collision, dgApiMatrix(matrix), contactOut, normalOut);
    dgApiWriteVector(contactOut, contact);
    dgApiWriteVector(normalOut, normal);
    return result;
}

int dgApiCollisionClosestPoint(dgWorld* world, dgCollision* collisionA, const float* matrixA,
                               dgCollision* collisionB, const float* matrixB, float* contactA,
                               float* contactB, float* normalAB) {
    if (world == nullptr || collisionA == nullptr || collisionB == nullptr) {
        return 0;
    }
    dgVector pointA;
    dgVector pointB;
    dgVector normal;
    const int result = world->ClosestPoint(collisionA, dgApiMatrix(matrixA), collisionB, dgApiMatrix(matrixB),
                                           pointA, pointB, normal);
    dgApiWriteVector(pointA, contactA);
    dgApiWriteVector(pointB, contactB);
    dgApiWriteVector(normal, normalAB);
    return result;
}

int dgApiCollisionCollide(dgWorld* world, int maxSize, dgCollision* collisionA, const float* matrixA,
                          dgCollision* collisionB, const float* matrixB, float* contacts, float* normals,
                          float* penetration) {
    if (world == nullptr || collisionA == nullptr || collisionB == nullptr) {
        return 0;
    }
    return world->Collide(collisionA, dgApiMatrix(matrixA), collisionB, dgApiMatrix(matrixB), contacts,
                          normals, penetration, maxSize);
}

int dgApiCollisionCollideContinue(dgWorld* world, int maxSize, float timestep, dgCollision* collisionA,
                                  const float* matrixA, const float* velocA, const float* omegaA,
                                  dgCollision* collisionB, const float* matrixB, const float* velocB,
                                  const float* omegaB, float* timeOfImpact, float* contacts, float* normals,
                                  float* penetration) {
    if (world == nullptr || collisionA == nullptr || collisionB == nullptr) {
        return 0;
    }
    *timeOfImpact = timestep;
    // The engine's query runs over one unit of time: velocities become displacements over the step, and
    // the time of impact comes back as a fraction of it.
    const dgVector displacementA = dgApiDirection(velocA).Scale(timestep);
    const dgVector turnA = dgApiDirection(omegaA).Scale(timestep);
    const dgVector displacementB = dgApiDirection(velocB).Scale(timestep);
    const dgVector turnB = dgApiDirection(omegaB).Scale(timestep);
    float fraction = 1.0f;
    const int count = world->CollideContinue(collisionA, dgApiMatrix(matrixA), displacementA, turnA,
                                             collisionB, dgApiMatrix(matrixB), displacementB, turnB, fraction,
                                             contacts, normals, penetration, maxSize);
    if (count > 0) {
        *timeOfImpact = fraction * timestep;
    }
    return count;
}

void dgApiCollisionRemoveFromCache(dgWorld* world, dgCollision* collision) {
    if (world == nullptr || collision == nullptr) {
        return;
    }
    world->RemoveCollisionFromCache(collision);
}

void dgApiCollisionRelease(dgWorld* world, dgCollision* collision) {
    if (world == nullptr || collision == nullptr) {
        return;
    }
    world->ReleaseCollision(collision);
}

void dgApiGetEulerAngle(const float* matrix, float* angles) {
    if (matrix == nullptr || angles == nullptr) {
        return;
    }
    dgApiWriteVector(dgApiMatrix(matrix).GetEulerAngles(), angles);
}

void dgApiSetEulerAngle(const float* angles, float* matrix) {
    if (angles == nullptr || matrix == nullptr) {
        return;
    }
    dgMatrix rotation = dgRotationMatrixX(angles[0])
                            .Multiply(dgRotationMatrixY(angles[1]))
                            .Multiply(dgRotationMatrixZ(angles[2]));
    rotation.posit = dgVector(0.0f, 0.0f, 0.0f, 1.0f);
    dgApiWriteMatrix(rotation, matrix);
}
