#include "physics/dynamics/dgWorld.h"

#include "physics/collision/dgCollisionPoint.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgProcessor.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgVehicleSolver.h"
#include "physics/dynamics/dgX87PrecisionScope.h"

#include <algorithm>
#include <bit>

namespace {
constexpr dgFloat32 kDefaultFreezeSpeed = std::bit_cast<dgFloat32>(0x3C23D70Bu); // 0.010000001
constexpr dgFloat32 kDefaultFreezeSpeed2 = 0.001f;
constexpr dgFloat32 kMinFrictionThreshold = 0.01f;
} // namespace

dgWorld::dgWorld() {
    // The members free what they hold when construction fails; the work area is the body's own.
    try {
        ConstructParts();
    } catch (const dgMemoryExhausted&) {
        dgFree(m_workArea);
        throw;
    }
}

void dgWorld::ConstructParts() {
    m_defaultGroupId = CreateGroupId();
    m_workArea = dgTryMalloc(static_cast<std::size_t>(GetWorkAreaSize()));

    const dgUnsigned32 classIds[13] = {dgCollisionBoxClassId,
                                       dgCollisionNullClassId,
                                       dgCollisionConeClassId,
                                       dgCollisionSphereClassId,
                                       dgConvexCollisionClassId,
                                       dgCollisionEllipseClassId,
                                       dgCollisionCapsuleClassId,
                                       dgCollisionCylinderClassId,
                                       dgCollisionConvexHullClassId,
                                       dgCollisionChamferCylinderClassId,
                                       dgCollisionConvexModifierClassId,
                                       dgCompoundCollisionClassId,
                                       dgCollisionPolygonalSoupClassId};
    std::copy(std::begin(classIds), std::end(classIds), m_classIds);

    m_broadPhase.Init(this);

    m_defaultFreezeThresholds[0] = kDefaultFreezeSpeed;
    m_defaultFreezeThresholds[1] = kDefaultFreezeSpeed;
    m_defaultFreezeThresholds[2] = kDefaultFreezeSpeed2;
    m_defaultFreezeThresholds[3] = kDefaultFreezeSpeed2;
    m_simdBuild = ProbePackedBuild();
    dgConvexPairSolver::InitSearchDirections();

    // Without its work area the world is reported invalid and asks for nothing more.
    if (m_workArea != nullptr) {
        m_pointCollision = new dgCollisionPoint(kPointCollisionSignature, dgGetIdentityMatrix());
    }
}

dgWorld::~dgWorld() {
    dgAssert(m_inUpdate == 0);
    m_ragdollUpdates.RemoveAll();
    m_pendingJoints.RemoveAll();
    m_pendingBodies.RemoveAll();
    m_ragdolls.DestroyAll();

    if (m_pointCollision != nullptr) {
        ReleaseCollision(m_pointCollision);
        m_pointCollision = nullptr;
    }
    DestroyAllBodies();
    m_tireContactSet.RemoveAll();
    if (m_vehicleWorkspace != nullptr) {
        m_vehicleWorkspace->~dgVehicleWorkspace();
        dgFree(m_vehicleWorkspace);
        m_vehicleWorkspace = nullptr;
    }
    m_materialPairs.RemoveAll();
    dgFree(m_workArea);
    m_workArea = nullptr;

    // Shapes the host still holds outlive the world; the cache gives back its own references, each
    // node leaving before its shape is released.
    while (auto* node = m_collisionCache.GetFirst()) {
        dgCollision* collision = node->GetInfo().m_collision;
        m_collisionCache.RemoveNode(node);
        dgRefRelease(collision);
    }
}

bool dgWorld::IsValid() const {
    return m_workArea != nullptr && m_pointCollision != nullptr;
}

void dgWorld::Update(dgFloat32 dt) {
    // No caller could take a failure from inside the step: running out of memory there is fatal.
    const dgFatalAllocations fatal;
    m_inUpdate = 1;
    StepDynamics(dt);
    m_ragdolls.UpdateAll();
    m_inUpdate = 0;
    // A step run from a query's callback leaves them to the query, which still walks its bodies.
    if (!DefersDestruction()) {
        FinishDeferredWork();
    }
}

void dgWorld::StepDynamics(dgFloat32 dt) {
    m_inStep = 1;
    m_stepContactCount = 0;
    {
        // Every x87 operation of the dynamics, callbacks included, rounds to single precision.
        const dgX87PrecisionScope precision;
        const dgStepContext step = BeginStep(dt);
        m_broadPhase.ApplyForcesAndPredictBoxes(step);
        m_broadPhase.UpdatePairs(step); // each overlapping pair's contact joint made or refreshed
        m_dynamicsUpdate.SolveIslands(*this, step);
        m_contactJointPool.ReleaseContactList(this); // pairs that stopped touching
        // Past the marks the islands and their integration left on their bodies.
        m_stepStamp = step.m_stamp + 2;
    }
    m_inStep = 0;
}

dgStepContext dgWorld::BeginStep(dgFloat32 dt) {
    m_timeStep = dt;
    m_invTimeStep = dt > 0.0f ? 1.0f / dt : 0.0f;
    m_stepStamp++;
    return dgStepContext{m_timeStep, m_invTimeStep, m_stepStamp};
}

void dgWorld::EndQuery() {
    m_queryDepth--;
    if (!DefersDestruction()) {
        FinishDeferredWork();
    }
}

void dgWorld::SetWorldSize(const dgVector& minPoint, const dgVector& maxPoint) {
    // Resizing takes every body out of its cell and puts it back: not under a walk of the cells.
    if (DefersDestruction()) {
        m_worldSizePending = true;
        m_pendingWorldMin = minPoint;
        m_pendingWorldMax = maxPoint;
        return;
    }
    m_broadPhase.SetWorldSize(minPoint, maxPoint);
}

void dgWorld::FinishDeferredWork() {
    DestroyPendingObjects();
    if (m_worldSizePending && !DefersDestruction()) {
        m_worldSizePending = false;
        m_broadPhase.SetWorldSize(m_pendingWorldMin, m_pendingWorldMax);
    }
}

void dgWorld::DestroyPendingObjects() {
    for (auto* node = m_vehicleUpdateSet.GetFirst(); node != nullptr; node = decltype(m_vehicleUpdateSet)::GetNext(node)) {
        node->GetInfo()->RemovePendingTires();
    }
    // Each destruction erases its own entry, and callbacks run from it may erase others: always
    // take the first entry left.
    while (auto* node = m_pendingJoints.GetFirst()) {
        DestroyJointNow(node->GetInfo());
    }
    while (auto* node = m_pendingBodies.GetFirst()) {
        DestroyBodyNow(node->GetInfo());
    }
}

void dgWorld::SetSimdMode(dgInt32 mode) {
    m_simdBuild = mode == 0 ? 0 : ProbePackedBuild();
}

dgInt32 dgWorld::ProbePackedBuild() {
    // Where the packed kernels were left out of the build, no processor runs them.
    return ORVALEN_PACKED_BUILD && dgHasSimdSupport() ? 1 : 0;
}

void dgWorld::SetSolverModel(dgInt32 model) {
    m_solverModel = model < 1 ? 0 : model;
}

void dgWorld::SetFrictionThreshold(dgFloat32 threshold) {
    m_frictionThreshold = threshold > kMinFrictionThreshold ? threshold : kMinFrictionThreshold;
}

dgInt32 dgWorld::GetWorkAreaSize() {
    const std::size_t bodyStack = sizeof(dgBody*) * static_cast<std::size_t>(kWorkAreaBodyCapacity);
    const std::size_t linkedBodies = sizeof(dgBody*) * static_cast<std::size_t>(kMaxLinkedBodies);
    return static_cast<dgInt32>(std::max(bodyStack, linkedBodies));
}

void* dgWorld::operator new(std::size_t size) {
    return dgMalloc(size);
}

void dgWorld::operator delete(void* block) {
    dgFree(block);
}
