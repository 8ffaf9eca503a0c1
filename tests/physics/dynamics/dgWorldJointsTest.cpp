// The world's joint pools and joint creation: reuse order, refused input and what destruction ignores.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "JointTestBodies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const dgVector kOrigin(0.0f, 0.0f, 0.0f, 1.0f);

} // namespace

TEST(dgWorldJoints, ReleasedBallJointsComeBackFirstInReleaseOrderBeforeFreshSlots) {
    JointTestBodies scene;
    std::vector<dgBallJoint*> joints;
    for (int i = 0; i < 200; i++) {
        joints.push_back(
            scene.m_world.CreateBallJoint(kOrigin, scene.m_body0, i % 2 == 0 ? scene.m_body1 : nullptr));
    }
    EXPECT_EQ(scene.m_world.GetJointCount(), 200);
    std::vector<dgBallJoint*> released;
    for (int i = 199; i >= 0; i -= 3) {
        scene.m_world.DestroyJoint(joints[i]);
        released.push_back(joints[i]);
    }
    for (dgBallJoint* expected : released) {
        dgBallJoint* joint = scene.m_world.CreateBallJoint(kOrigin, scene.m_body1, scene.m_body0);
        EXPECT_EQ(joint, expected);
        EXPECT_EQ(joint->m_limitFlags, 0u);
        EXPECT_EQ(joint->m_body0, scene.m_body1);
    }
    // 200 joints used 8 slots of the fourth page; the next is its ninth.
    EXPECT_EQ(scene.m_world.CreateBallJoint(kOrigin, scene.m_body0, nullptr), joints[199] + 1);

    // Every joint dies with its body, once.
    scene.m_world.DestroyBody(scene.m_body0);
    EXPECT_EQ(scene.m_world.GetJointCount(), 0);
}

TEST(dgWorldJoints, CreationRefusesBadInputAndDestructionIgnoresJointsNotItsOwn) {
    JointTestBodies scene;
    JointTestBodies other;
    const float nan = NAN;
    const float pivot[3] = {0.0f, 0.0f, 0.0f};
    const float badPoint[3] = {nan, 0.0f, 0.0f};
    const float infinitePin[3] = {0.0f, INFINITY, 0.0f};
    dgWorld* world = &scene.m_world;
    EXPECT_EQ(dgApiJointCreateBall(nullptr, pivot, scene.m_body0, nullptr), nullptr);
    EXPECT_EQ(dgApiJointCreateBall(world, pivot, nullptr, scene.m_body1), nullptr);
    EXPECT_EQ(dgApiJointCreateBall(world, pivot, scene.m_body0, scene.m_body0), nullptr);
    EXPECT_EQ(dgApiJointCreateBall(world, pivot, other.m_body0, nullptr), nullptr);
    EXPECT_EQ(dgApiJointCreateBall(world, pivot, scene.m_body0, other.m_body1), nullptr);
    EXPECT_EQ(dgApiJointCreateBall(world, badPoint, scene.m_body0, scene.m_body1), nullptr);
    EXPECT_EQ(dgApiJointCreateUpVector(world, infinitePin, scene.m_body0), nullptr);
    EXPECT_EQ(dgApiJointCreateUpVector(world, pivot, other.m_body0), nullptr);
    EXPECT_EQ(dgApiJointCreateUser(world, 3, nullptr, scene.m_body1, scene.m_body1), nullptr);
    EXPECT_EQ(dgApiJointCreateUser(nullptr, 3, nullptr, scene.m_body1, nullptr), nullptr);
    EXPECT_EQ(scene.m_world.GetJointCount(), 0);
    EXPECT_EQ(scene.m_body0->m_jointRing, nullptr);

    dgJointBase* ball = dgApiJointCreateBall(world, pivot, scene.m_body0, scene.m_body1);
    dgContactJoint* contact = scene.m_world.CreateContactJoint();
    scene.m_world.AttachJoint(contact, scene.m_body0, scene.m_body1);
    dgApiDestroyJoint(world, nullptr);
    dgApiDestroyJoint(&other.m_world, ball);
    dgApiDestroyJoint(world, contact);
    EXPECT_EQ(scene.m_world.GetJointCount(), 2);

    // A cone of 0 switches the cone off; NaN stiffness counts as 0.
    const float pin[3] = {0.0f, 1.0f, 0.0f};
    dgApiBallSetConeLimits(ball, pin, 0.5f, 0.5f);
    EXPECT_EQ(static_cast<dgBallJoint*>(ball)->GetConeLimitState(), 1);
    dgApiBallSetConeLimits(ball, pin, 0.0f, 0.5f);
    EXPECT_EQ(static_cast<dgBallJoint*>(ball)->GetConeLimitState(), 0);
    EXPECT_EQ(static_cast<dgBallJoint*>(ball)->GetTwistLimitState(), 1);
    // A pin along x shorter than 1 still finds an auxiliary axis across it.
    const float shortPin[3] = {0.5f, 0.0f, 0.0f};
    dgApiBallSetConeLimits(ball, shortPin, 0.5f, 0.5f);
    const dgMatrix& frame = static_cast<dgBallJoint*>(ball)->m_localMatrix0;
    EXPECT_TRUE(
        std::isfinite(frame.up.x + frame.up.y + frame.up.z + frame.right.x + frame.right.y + frame.right.z));
    dgApiJointSetStiffness(ball, nan);
    EXPECT_EQ(dgApiJointGetStiffness(ball), 0.0f);
}

TEST(dgWorldJoints, MotorJointPoolsHandReleasedJointsOutFirstAndCreationRefusesBadInput) {
    using Create = dgJointBase* (*)(dgWorld*, const float*, const float*, const float*, dgBody*, dgBody*);
    const Create creators[] = {
        [](dgWorld* w, const float* p, const float* a, const float*, dgBody* c, dgBody* q) {
            return dgApiJointCreateHinge(w, p, a, c, q);
        },
        [](dgWorld* w, const float* p, const float* a, const float*, dgBody* c, dgBody* q) {
            return dgApiJointCreateSlider(w, p, a, c, q);
        },
        [](dgWorld* w, const float* p, const float* a, const float*, dgBody* c, dgBody* q) {
            return dgApiJointCreateCorkscrew(w, p, a, c, q);
        },
        [](dgWorld* w, const float* p, const float* a, const float* b, dgBody* c, dgBody* q) {
            return dgApiJointCreateUniversal(w, p, a, b, c, q);
        },
    };
    const dgUnsigned16 kinds[] = {dgJointBase::kHingeJoint, dgJointBase::kSliderJoint, dgJointBase::kCorkscrewJoint,
                                  dgJointBase::kUniversalJoint};
    const float p[3] = {0.0f, 0.0f, 0.0f};
    const float x[3] = {1.0f, 0.0f, 0.0f};
    const float y[3] = {0.0f, 1.0f, 0.0f};
    const float bad[3] = {0.0f, NAN, 0.0f};
    for (int k = 0; k < 4; k++) {
        JointTestBodies scene;
        JointTestBodies other;
        dgWorld* world = &scene.m_world;
        dgBody* a = scene.m_body0;
        dgBody* b = scene.m_body1;
        const Create create = creators[k];
        EXPECT_EQ(create(nullptr, p, x, y, a, b), nullptr) << k;
        EXPECT_EQ(create(world, p, x, y, nullptr, b), nullptr) << k;
        EXPECT_EQ(create(world, p, x, y, a, a), nullptr) << k;
        EXPECT_EQ(create(world, p, x, y, other.m_body0, nullptr), nullptr) << k;
        EXPECT_EQ(create(world, p, x, y, a, other.m_body1), nullptr) << k;
        EXPECT_EQ(create(world, bad, x, y, a, b), nullptr) << k;
        EXPECT_EQ(create(world, p, bad, y, a, b), nullptr) << k;
        EXPECT_EQ(create(world, nullptr, x, y, a, b), nullptr) << k;
        EXPECT_EQ(create(world, p, nullptr, y, a, b), nullptr) << k;
        if (k == 3) {
            EXPECT_EQ(create(world, p, x, bad, a, b), nullptr);
            EXPECT_EQ(create(world, p, x, nullptr, a, b), nullptr);
        }
        EXPECT_EQ(scene.m_world.GetJointCount(), 0) << k;

        dgJointBase* joints[3];
        for (dgJointBase*& joint : joints) {
            joint = create(world, p, x, y, a, b);
            ASSERT_NE(joint, nullptr) << k;
            EXPECT_EQ(joint->m_kind, kinds[k]);
        }
        dgApiDestroyJoint(world, joints[1]);
        dgApiDestroyJoint(world, joints[0]);
        EXPECT_EQ(create(world, p, x, y, b, nullptr), joints[1]) << k;
        EXPECT_EQ(create(world, p, x, y, b, nullptr), joints[0]) << k;
        const dgJointBase* fresh = create(world, p, x, y, b, nullptr);
        EXPECT_GT(reinterpret_cast<std::uintptr_t>(fresh), reinterpret_cast<std::uintptr_t>(joints[2])) << k;
        EXPECT_EQ(joints[1]->m_body1, nullptr);
    }
}
