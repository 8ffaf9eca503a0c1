#include "WorldTestSupport.h"

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgMxcsrScope.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#if ORVALEN_PACKED_BUILD
#include <xmmintrin.h>

namespace {

constexpr unsigned kFlushToZero = 0x8000;
constexpr unsigned kDenormalsAreZero = 0x0040;
constexpr unsigned kRoundTowardZero = 0x6000;
constexpr unsigned kExceptionFlags = 0x003f;

/// MXCSR as the last transform callback found it.
unsigned g_callbackMxcsr = 0;

void RecordMxcsr(dgBody*, const float*) {
    g_callbackMxcsr = _mm_getcsr();
}

/// A world with one moving unit box whose transform callback records MXCSR.
struct OneBoxWorld {
    dgWorld* m_world = dgApiWorldCreate(nullptr, nullptr);
    dgBody* m_body = nullptr;

    OneBoxWorld() {
        dgCollision* shape = dgApiCollisionCreateBox(m_world, 1.0f, 1.0f, 1.0f, nullptr);
        m_body = dgApiBodyCreate(m_world, shape);
        dgApiCollisionRelease(m_world, shape);
        dgApiBodySetMassMatrix(m_body, 1.0f, 1.0f, 1.0f, 1.0f);
        dgApiBodySetAutoFreeze(m_body, 0);
        dgApiBodySetTransformCallback(m_body, RecordMxcsr);
        const float velocity[3] = {1.0f, 0.0f, 0.0f};
        dgApiBodySetVelocity(m_body, velocity);
    }
    ~OneBoxWorld() { dgApiWorldDestroy(m_world); }
    OneBoxWorld(const OneBoxWorld&) = delete;
    OneBoxWorld& operator=(const OneBoxWorld&) = delete;

    /// Steps once with the host's MXCSR at `host`; returns MXCSR as the step left it.
    unsigned StepUnder(unsigned host) {
        const dgMxcsrScope keep;
        _mm_setcsr(host);
        g_callbackMxcsr = 0;
        dgApiWorldUpdate(m_world, 1.0f / 60.0f);
        return _mm_getcsr();
    }

    /// Whether the world's last step ran the packed build: only it flushes to zero in its callbacks.
    bool RanPacked() {
        StepUnder(0x1f80);
        return (g_callbackMxcsr & kFlushToZero) != 0;
    }
};

BOTH_BUILDS_SUITE(dgPackedBuild);

TEST_P(dgPackedBuild, HostMxcsrComesBackWholeAndCallbacksFlushToZeroOnlyInThePackedBuild) {
    OneBoxWorld scene;
    const bool packed = GetParam() == SolverBuild::kPacked;
    for (const unsigned host : {0x1f80u, 0x1f80u | kFlushToZero, 0x1f80u | kDenormalsAreZero,
                                0x1f80u | kRoundTowardZero}) {
        SCOPED_TRACE(::testing::Message() << std::hex << "host 0x" << host);
        EXPECT_EQ(scene.StepUnder(host), host);
        const unsigned inCallback = g_callbackMxcsr & ~kExceptionFlags;
        EXPECT_EQ(inCallback, packed ? host | kFlushToZero : host);
    }
}

TEST_P(dgPackedBuild, ASpeedDecayingIntoDenormalsStopsAtZeroOnlyInThePackedBuild) {
    OneBoxWorld scene;
    dgApiBodySetTransformCallback(scene.m_body, nullptr);
    dgApiBodySetLinearDamping(scene.m_body, 1.0f);
    const float velocity[3] = {4.0f * FLT_MIN, 0.0f, 0.0f};
    dgApiBodySetVelocity(scene.m_body, velocity);
    int denormalSteps = 0;
    float speed = velocity[0];
    for (int step = 0; step < 200 && speed != 0.0f; step++) {
        scene.StepUnder(0x1f80);
        float v[3];
        dgApiBodyGetVelocity(scene.m_body, v);
        speed = v[0];
        denormalSteps += std::fpclassify(speed) == FP_SUBNORMAL ? 1 : 0;
    }
    if (GetParam() == SolverBuild::kPacked) {
        EXPECT_EQ(speed, 0.0f);
        EXPECT_EQ(denormalSteps, 0);
    } else {
        EXPECT_GT(denormalSteps, 0);
    }
}

TEST_P(dgPackedBuild, AStaticBodyInTheActiveSetGetsTheEquilibriumBitOnlyInTheScalarBuild) {
    OneBoxWorld scene;
    scene.StepUnder(0x1f80);
    dgBody* body = scene.m_body;
    ASSERT_NE(body->m_activeNode, nullptr);
    body->m_invMass = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    body->m_flags &= ~dgBody::kEquilibrium;
    scene.StepUnder(0x1f80);
    EXPECT_EQ(body->m_activeNode, nullptr);
    EXPECT_EQ(body->m_flags & dgBody::kActive, 0u);
    EXPECT_EQ((body->m_flags & dgBody::kEquilibrium) != 0, GetParam() == SolverBuild::kScalar);
}

TEST(dgPackedBuildSelection, NewWorldsRunPackedUntilTheModeOrTheProbeSaysScalar) {
    {
        OneBoxWorld scene;
        EXPECT_TRUE(scene.RanPacked());
        dgApiWorldSetSimdMode(scene.m_world, 0);
        EXPECT_FALSE(scene.RanPacked());
        dgApiWorldSetSimdMode(scene.m_world, 7);
        EXPECT_TRUE(scene.RanPacked());
    }
    dgSetSimdOverride(dgSimdOverride::kForceScalar);
    {
        OneBoxWorld scene;
        EXPECT_FALSE(scene.RanPacked());
        dgApiWorldSetSimdMode(scene.m_world, 1);
        EXPECT_FALSE(scene.RanPacked());
    }
    dgSetSimdOverride(dgSimdOverride::kProbe);
}

} // namespace
#endif
