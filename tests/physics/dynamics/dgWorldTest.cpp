#include "WorldTestSupport.h"

#include "physics/collision/dgCollisionPoint.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgGlobalAllocator.h"
#include "physics/dynamics/dgWorld.h"
#include "physics/dynamics/dgX87PrecisionScope.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <memory>

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

namespace {
struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};
using WorldPtr = std::unique_ptr<dgWorld, WorldDeleter>;

WorldPtr MakeWorld() {
    return WorldPtr(new dgWorld);
}

dgBody* AddBody(dgWorld& world, dgCollision* shape, std::uintptr_t id) {
    dgBody* body = world.CreateBody(shape);
    body->m_userData = CallbackLog::Tag(id);
    body->m_destructor = CallbackLog::BodyDestroyed;
    return body;
}

/// Builds and destroys a world with bodies and joints, so every process-wide pool and cache it uses
/// exists before counting starts.
void BuildAndDestroyWorld(dgCollision* shape) {
    TestJoint joints[2];
    WorldPtr world = MakeWorld();
    dgBody* a = AddBody(*world, shape, 1);
    dgBody* b = AddBody(*world, shape, 2);
    world->AttachJoint(&joints[0], a, b);
    world->AttachJoint(&joints[1], b, nullptr);
    dgCollision* cached = world->CreateBox(1.0f, 2.0f, 3.0f, dgGetIdentityMatrix());
    AddBody(*world, cached, 3);
    world->ReleaseCollision(cached);
    world->Update(1.0f / 60.0f);
}
} // namespace

TEST(dgWorld, NewWorldHasTheDocumentedDefaults) {
    WorldPtr world = MakeWorld();
    ASSERT_TRUE(world->IsValid());
    EXPECT_EQ(world->GetGroupCount(), 1);
    EXPECT_EQ(world->GetDefaultGroupId(), 0);
    EXPECT_EQ(world->m_materialPairs.GetCount(), 1);
    EXPECT_NE(world->GetMaterialPair(0, 0), nullptr);
    EXPECT_EQ(world->GetTimeStep(), 0.0f);
    EXPECT_EQ(world->m_stepStamp, 2u);
    EXPECT_EQ(world->m_inUpdate, 0);
    EXPECT_EQ(world->m_inStep, 0);
    EXPECT_EQ(world->GetBodyCount(), 0);
    EXPECT_EQ(world->GetJointCount(), 0);
    EXPECT_EQ(world->GetUserData(), nullptr);
    EXPECT_EQ(world->m_frictionThreshold, 0.25f);
    EXPECT_EQ(std::bit_cast<dgUnsigned32>(world->m_defaultFreezeThresholds[0]), 0x3C23D70Bu);
    EXPECT_EQ(std::bit_cast<dgUnsigned32>(world->m_defaultFreezeThresholds[1]), 0x3C23D70Bu);
    EXPECT_EQ(world->m_defaultFreezeThresholds[2], 0.001f);
    EXPECT_EQ(world->m_defaultFreezeThresholds[3], 0.001f);
    EXPECT_EQ(std::bit_cast<dgUnsigned32>(world->m_maxSubStep), 0x3C888889u);
    EXPECT_EQ(world->GetPolygonSoupClassId(), dgCollisionPolygonalSoupClassId);
    EXPECT_EQ(world->GetCompoundClassId(), dgCompoundCollisionClassId);
    EXPECT_EQ(world->GetNullClassId(), dgCollisionNullClassId);
    EXPECT_EQ(world->m_pendingBodies.GetCount(), 0);
    EXPECT_EQ(world->m_pendingJoints.GetCount(), 0);
    // Packed wherever its kernels were built (every x86 processor has the packed unit).
    EXPECT_EQ(world->m_simdBuild, ORVALEN_PACKED_BUILD);
}

TEST(dgWorld, PointProbeIsAUnitSphereAnsweringAsItsOrigin) {
    WorldPtr world = MakeWorld();
    const dgCollisionPoint* point = world->m_pointCollision;
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->GetSignature(), dgWorld::kPointCollisionSignature);
    EXPECT_EQ(point->GetTypeId(), dgCollisionSphereClassId);
    EXPECT_EQ(point->GetVolume(), 0.0f);
    const dgVector support = point->SupportVertex(dgVector(0.6f, 0.8f, 0.0f, 0.0f));
    EXPECT_EQ(support.x, 0.0f);
    EXPECT_EQ(support.y, 0.0f);
    EXPECT_EQ(support.z, 0.0f);
}

TEST(dgWorld, WorkAreaHoldsTheBroadPhaseStackAndTheLinkedBodyList) {
    const std::size_t size = static_cast<std::size_t>(dgWorld::GetWorkAreaSize());
    EXPECT_GE(size, sizeof(dgBody*) * dgWorld::kWorkAreaBodyCapacity);
    EXPECT_GE(size, sizeof(dgBody*) * dgWorld::kMaxLinkedBodies);
    WorldPtr world = MakeWorld();
    EXPECT_NE(world->GetWorkArea(), nullptr);
}

TEST(dgWorld, SettingsClampAsDocumented) {
    WorldPtr world = MakeWorld();
    world->SetSolverModel(-5);
    EXPECT_EQ(world->m_solverModel, 0);
    world->SetSolverModel(3);
    EXPECT_EQ(world->m_solverModel, 3);
    world->SetFrictionThreshold(0.005f);
    EXPECT_EQ(world->m_frictionThreshold, 0.01f);
    world->SetFrictionThreshold(0.01f);
    EXPECT_EQ(world->m_frictionThreshold, 0.01f);
    world->SetFrictionThreshold(std::numeric_limits<dgFloat32>::quiet_NaN());
    EXPECT_EQ(world->m_frictionThreshold, 0.01f);
    world->SetFrictionThreshold(0.5f);
    EXPECT_EQ(world->m_frictionThreshold, 0.5f);
    world->SetSimdMode(2);
    EXPECT_EQ(world->m_simdBuild, dgWorld::ProbePackedBuild());
    world->SetSimdMode(0);
    EXPECT_EQ(world->m_simdBuild, 0);
}

BOTH_BUILDS_SUITE(dgWorldStepping);

TEST_P(dgWorldStepping, TeardownCallsEveryBodysDestructorOnceAndReturnsEveryBlock) {
    // A block of an odd size parked in the object cache keeps the cache's own bookkeeping pages alive,
    // and a first world makes the process-wide pools, so only what the world itself takes is counted.
    dgObjectFree(dgObjectMalloc(4099));
    dgCollision* shape = MakeTestShape();
    BuildAndDestroyWorld(shape);
    CallbackLog::Clear();
    {
        CountingMemoryHooks hooks;
        {
            WorldPtr world = MakeWorld();
            ASSERT_TRUE(world->IsValid());
            TestJoint joints[3];
            dgBody* bodies[5];
            for (std::uintptr_t i = 0; i < 4; i++) {
                bodies[i] = AddBody(*world, shape, i + 1);
            }
            // The last body holds a shape from the world's cache, as the host's bodies do.
            dgCollision* cached = world->CreateBox(1.0f, 2.0f, 3.0f, dgGetIdentityMatrix());
            bodies[4] = AddBody(*world, cached, 5);
            world->ReleaseCollision(cached);
            world->AttachJoint(&joints[0], bodies[0], bodies[1]);
            world->AttachJoint(&joints[1], bodies[1], bodies[2]);
            world->AttachJoint(&joints[2], bodies[3], nullptr);
            for (std::uintptr_t i = 0; i < 3; i++) {
                joints[i].m_userData = CallbackLog::Tag(i + 1);
                joints[i].SetJointDestructor(CallbackLog::JointDestroyed);
            }
            world->CreateGroupId();
            world->Update(1.0f / 60.0f);
            world.reset();
            for (const TestJoint& joint : joints) {
                EXPECT_TRUE(joint.m_released);
            }
        }
        EXPECT_EQ(hooks.Outstanding(), 0u);
    }
    EXPECT_EQ(shape->GetRefCount(), 1);
    dgRefRelease(shape);
    std::multiset<std::string> events(CallbackLog::s_events.begin(), CallbackLog::s_events.end());
    for (int i = 1; i <= 5; i++) {
        EXPECT_EQ(events.count("destroy body " + std::to_string(i)), 1u) << i;
    }
    for (int i = 1; i <= 3; i++) {
        EXPECT_EQ(events.count("destroy joint " + std::to_string(i)), 1u) << i;
    }
    EXPECT_EQ(events.size(), 8u);
}

TEST(dgWorld, ShapesTheHostStillHoldsOutliveTheWorldWithTheHostsReferenceOnly) {
    WorldPtr world = MakeWorld();
    dgCollision* box = world->CreateBox(1.0f, 2.0f, 3.0f, dgGetIdentityMatrix());
    world->CreateBody(box);
    EXPECT_EQ(box->GetRefCount(), 3); // the cache's, the host's and the body's
    world.reset();
    EXPECT_EQ(box->GetRefCount(), 1);
    dgRefRelease(box);
}

TEST_P(dgWorldStepping, RefusedWorkAreaLeavesAnInvalidWorldThatTearsDownCleanly) {
    dgObjectFree(dgObjectMalloc(4099));
    dgCollision* shape = MakeTestShape();
    BuildAndDestroyWorld(shape);
    dgRefRelease(shape);
    CountingMemoryHooks hooks(static_cast<std::size_t>(dgWorld::GetWorkAreaSize()) / 2);
    {
        WorldPtr world = MakeWorld();
        EXPECT_FALSE(world->IsValid());
        EXPECT_EQ(world->GetWorkArea(), nullptr);
        EXPECT_EQ(world->m_pointCollision, nullptr);
        EXPECT_GE(hooks.Refused(), 1u);
    }
    EXPECT_EQ(hooks.Outstanding(), 0u);
}

#if defined(__i386__) || defined(__x86_64__)
namespace {
fpu_control_t ReadFpuWord() {
    fpu_control_t word;
    _FPU_GETCW(word);
    return word;
}

void WriteFpuWord(fpu_control_t word) {
    _FPU_SETCW(word);
}
} // namespace

TEST_P(dgWorldStepping, UpdateLeavesTheHostsFpuControlWordUnchanged) {
    const fpu_control_t original = ReadFpuWord();
    WorldPtr world = MakeWorld();
    for (const fpu_control_t precision : {fpu_control_t(_FPU_DOUBLE), fpu_control_t(_FPU_EXTENDED)}) {
        // Round toward zero as well, so a restore of the precision bits alone would not pass either.
        const fpu_control_t host =
            (original & ~fpu_control_t(0x0F00)) | precision | fpu_control_t(_FPU_RC_ZERO);
        WriteFpuWord(host);
        world->Update(1.0f / 60.0f);
        const fpu_control_t after = ReadFpuWord();
        WriteFpuWord(original);
        EXPECT_EQ(after, host);
    }
}

TEST(dgWorld, PrecisionScopeRunsAtSinglePrecisionAndRestoresTheWholeWord) {
    const fpu_control_t original = ReadFpuWord();
    const fpu_control_t host = (original & ~fpu_control_t(_FPU_EXTENDED)) | _FPU_EXTENDED;
    WriteFpuWord(host);
    fpu_control_t inside;
    {
        const dgX87PrecisionScope scope;
        inside = ReadFpuWord();
        // A callback that changes the rounding mode does not leak it to the host.
        WriteFpuWord(inside | _FPU_RC_UP);
    }
    const fpu_control_t after = ReadFpuWord();
    WriteFpuWord(original);
    EXPECT_EQ(inside & _FPU_EXTENDED, fpu_control_t(_FPU_SINGLE));
    EXPECT_EQ(inside & ~fpu_control_t(_FPU_EXTENDED), host & ~fpu_control_t(_FPU_EXTENDED));
    EXPECT_EQ(after, host);
}
#endif
