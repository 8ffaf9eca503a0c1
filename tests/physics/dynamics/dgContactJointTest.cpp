#include "WorldTestSupport.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "support/MathAssertions.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr dgFloat32 kStep = 0.01f;

/// Two bodies meeting on the plane y = 0: body0 above, body1 below, normals +y (body1 towards body0).
class ContactJointRows : public ::testing::Test {
protected:
    void SetUp() override {
        m_body0.m_matrix = dgGetIdentityMatrix();
        m_body0.m_matrix.posit = dgVector(0, 1, 0, 1);
        m_body0.m_globalCentreOfMass = m_body0.m_matrix.posit;
        m_body1.m_matrix = dgGetIdentityMatrix();
        m_body1.m_matrix.posit = dgVector(0, -1, 0, 1);
        m_body1.m_globalCentreOfMass = m_body1.m_matrix.posit;
        m_joint.m_body0 = &m_body0;
        m_joint.m_body1 = &m_body1;
        m_params.m_timeStep = kStep;
        m_params.m_invTimeStep = 1.0f / kStep;
    }

    /// A point at (x, 0, z) with the default material and the given flag bits.
    dgContact& AddPoint(dgFloat32 x, dgFloat32 z, dgUnsigned32 flags) {
        dgContact& point = m_joint.m_points.Append()->GetInfo();
        point.m_point.m_point = dgVector(x, 0, z, 1);
        point.m_point.m_normal = dgVector(0, 1, 0, 0);
        point.m_point.m_body0 = &m_body0;
        point.m_point.m_body1 = &m_body1;
        point.m_dir0 = dgVector(1, 0, 0, 0);
        point.m_dir1 = dgVector(0, 0, 1, 0);
        point.m_softness = 0.1f;
        point.m_elasticity = 0.4f;
        point.m_staticFriction0 = 0.9f;
        point.m_staticFriction1 = 0.8f;
        point.m_kineticFriction0 = 0.5f;
        point.m_kineticFriction1 = 0.4f;
        point.m_flags = flags;
        return point;
    }

    dgInt32 Submit() {
        m_params.ResetBounds(m_joint.m_maxRows);
        return m_joint.SubmitConstraints(m_params);
    }

    dgBody m_body0;
    dgBody m_body1;
    dgContactJoint m_joint;
    dgJointParams m_params;
};

constexpr dgUnsigned32 kBoth =
    dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;

bool JacobianWsAreZero(const dgJacobianPair& row) {
    return row.m_jacobian0.m_linear.w == 0.0f && row.m_jacobian0.m_angular.w == 0.0f &&
           row.m_jacobian1.m_linear.w == 0.0f && row.m_jacobian1.m_angular.w == 0.0f;
}

} // namespace

TEST_F(ContactJointRows, RowCountFollowsTheFrictionFlagsAndFrictionRowsFollowAllNormalRows) {
    const dgUnsigned32 f0 = dgContactMaterial::kCollidable | dgContactMaterial::kFriction0;
    const dgUnsigned32 f1 = dgContactMaterial::kCollidable | dgContactMaterial::kFriction1;
    const dgUnsigned32 none = dgContactMaterial::kCollidable;

    dgContact& a = AddPoint(0, 0, none);
    m_joint.SetPointCount(1);
    EXPECT_EQ(m_joint.m_maxRows, 3);
    EXPECT_EQ(Submit(), 1);
    a.m_flags = kBoth;
    EXPECT_EQ(Submit(), 3);

    a.m_flags = f0;
    dgContact& b = AddPoint(1, 0, none);
    dgContact& c = AddPoint(0, 1, kBoth);
    dgContact& d = AddPoint(1, 1, f1);
    m_joint.SetPointCount(4);
    EXPECT_EQ(m_joint.m_maxRows, 12);
    ASSERT_EQ(Submit(), 4 + 1 + 0 + 2 + 1);

    // Rows 0-3 are the normals in point order, then each point's friction rows in turn.
    dgFloat32* const feedback[] = {&a.m_normalAcceleration,   &b.m_normalAcceleration,
                                   &c.m_normalAcceleration,   &d.m_normalAcceleration,
                                   &a.m_tangent0Acceleration, &c.m_tangent0Acceleration,
                                   &c.m_tangent1Acceleration, &d.m_tangent1Acceleration};
    const dgInt32 classes[] = {-2, -2, -2, -2, 0, 2, 2, 3};
    for (dgInt32 row = 0; row < 8; row++) {
        EXPECT_EQ(m_params.m_forceFeedback[row], feedback[row]) << row;
        EXPECT_EQ(m_params.m_bounds[row].m_class, classes[row]) << row;
        EXPECT_EQ(m_params.m_bounds[row].m_slot, row) << row;
        EXPECT_EQ(m_params.m_stiffness[row], 1.0f) << row;
        EXPECT_TRUE(JacobianWsAreZero(m_params.m_jacobians[row])) << row;
    }
    EXPECT_TRUE(VectorNear(m_params.m_jacobians[6].m_jacobian0.m_linear, dgVector(0, 0, 1, 0), 0.0f));
    EXPECT_TRUE(VectorNear(m_params.m_jacobians[7].m_jacobian1.m_linear, dgVector(0, 0, -1, 0), 0.0f));
}

TEST_F(ContactJointRows, OnlyThePointsInUseAtTheHeadSubmitAndTheCountIsBounded) {
    for (dgInt32 i = 0; i < 20; i++) {
        AddPoint(dgFloat32(i), 0, dgContactMaterial::kCollidable);
    }
    m_joint.SetPointCount(2);
    EXPECT_EQ(Submit(), 2);
    EXPECT_EQ(m_params.m_forceFeedback[1],
              &m_joint.m_points.GetFirst()->GetNext()->GetInfo().m_normalAcceleration);

    // Sixteen points fill the 48 rows a joint may write.
    m_joint.SetPointCount(20);
    EXPECT_EQ(m_joint.m_pointCount, dgContactJoint::kMaxPoints);
    EXPECT_EQ(m_joint.m_maxRows, dgJointParams::kMaxRows);
    for (dgListNode<dgContact>* node = m_joint.m_points.GetFirst(); node != nullptr; node = node->GetNext()) {
        node->GetInfo().m_flags = kBoth;
    }
    EXPECT_EQ(Submit(), dgJointParams::kMaxRows);

    // More in use than the list holds, or fewer than none, submits what exists.
    dgContactJoint small;
    small.m_body0 = &m_body0;
    small.m_body1 = &m_body1;
    small.m_points.Append();
    small.SetPointCount(5);
    EXPECT_EQ(small.m_pointCount, 1);
    small.m_pointCount = -3;
    EXPECT_EQ(small.SubmitConstraints(m_params), 0);
}

TEST_F(ContactJointRows, NormalRowHoldsTheBodiesApartAndPushesOutBoundedPenetration) {
    dgContact& point = AddPoint(0.5f, -0.25f, dgContactMaterial::kCollidable);
    m_joint.SetPointCount(1);
    point.m_point.m_penetration = 2.0f;
    ASSERT_EQ(Submit(), 1);
    // min(2, 0.5) x softness 0.1 x 10 = 0.5, asked for over one step.
    EXPECT_NEAR(m_params.m_accelerations[0], 0.5f / kStep, 1e-3f);
    const dgRowBounds& bounds = m_params.m_bounds[0];
    EXPECT_EQ(bounds.m_min, 0.0f);
    EXPECT_EQ(bounds.m_max, dgJointParams::kUnboundedForce);
    EXPECT_EQ(bounds.m_class, dgRowBounds::kNonNegative);

    const dgJacobianPair& row = m_params.m_jacobians[0];
    const dgVector r0 = point.m_point.m_point.Sub(m_body0.m_globalCentreOfMass);
    const dgVector r1 = point.m_point.m_point.Sub(m_body1.m_globalCentreOfMass);
    const dgVector n(0, 1, 0, 0);
    EXPECT_TRUE(Vector4Near(row.m_jacobian0.m_linear, n, 0.0f));
    EXPECT_TRUE(VectorNear(row.m_jacobian0.m_angular, r0.CrossProduct(n), kRoundingTol));
    EXPECT_TRUE(Vector4Near(row.m_jacobian1.m_linear, dgVector(0, -1, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(row.m_jacobian1.m_angular, r1.CrossProduct(n).Scale(-1.0f), kRoundingTol));

    // A normal acceleration the application gave is added for the step.
    point.m_point.m_penetration = 0.0f;
    point.m_normalAcceleration = 7.0f;
    EXPECT_EQ(Submit(), 1);
    EXPECT_EQ(m_params.m_accelerations[0], 0.0f);
    point.m_flags |= dgContactMaterial::kNormalAcceleration;
    EXPECT_EQ(Submit(), 1);
    EXPECT_EQ(m_params.m_accelerations[0], 7.0f);
}

// The speed along the normal is v1 - v0; it is positive while body0 closes in on body1. Restitution
// scales it then only, so the row asks the approach speed to turn into a rebound of e times it. Whether
// a dropped sphere actually bounces is the solver's to show.
TEST_F(ContactJointRows, RestitutionScalesTheNormalSpeedOnlyWhileTheBodiesApproach) {
    AddPoint(0, 0, dgContactMaterial::kCollidable);
    m_joint.SetPointCount(1);

    m_body0.m_veloc = dgVector(0, -2.0f, 0, 0);
    Submit();
    EXPECT_NEAR(m_params.m_accelerations[0], 2.0f * 1.4f / kStep, 1e-3f);

    m_body0.m_veloc = dgVector(0, 0, 0, 0);
    m_body1.m_veloc = dgVector(0, 2.0f, 0, 0);
    Submit();
    EXPECT_NEAR(m_params.m_accelerations[0], 2.0f * 1.4f / kStep, 1e-3f);

    // Exactly the threshold is not scaled.
    m_body1.m_veloc = dgVector(0, 0.001f, 0, 0);
    Submit();
    EXPECT_NEAR(m_params.m_accelerations[0], 0.001f / kStep, 1e-5f);

    // Separating bodies: the speed is asked for as it is, no rebound.
    m_body1.m_veloc = dgVector(0, -2.0f, 0, 0);
    Submit();
    EXPECT_NEAR(m_params.m_accelerations[0], -2.0f / kStep, 1e-3f);

    // Spin of body0 about z moves the contact point (offset -1 in y) along x only: no normal speed.
    m_body1.m_veloc = dgVector(0, 0, 0, 0);
    m_body0.m_omega = dgVector(0, 0, 3.0f, 0);
    Submit();
    EXPECT_NEAR(m_params.m_accelerations[0], 0.0f, 1e-4f);
}

TEST_F(ContactJointRows, FrictionSwitchesFromStaticToKineticAboveThreeTenths) {
    dgContact& point = AddPoint(0, 0, kBoth);
    m_joint.SetPointCount(1);
    const struct {
        dgFloat32 speed;
        dgFloat32 friction0;
        dgFloat32 friction1;
    } cases[] = {{0.3f, 0.9f, 0.8f}, {0.31f, 0.5f, 0.4f}, {-0.3f, 0.9f, 0.8f}, {-0.31f, 0.5f, 0.4f}};
    for (const auto& c : cases) {
        m_body1.m_veloc = dgVector(c.speed, 0, c.speed, 0);
        ASSERT_EQ(Submit(), 3);
        EXPECT_EQ(m_params.m_bounds[1].m_min, -c.friction0) << c.speed;
        EXPECT_EQ(m_params.m_bounds[1].m_max, c.friction0) << c.speed;
        EXPECT_EQ(m_params.m_bounds[2].m_min, -c.friction1) << c.speed;
        EXPECT_EQ(m_params.m_bounds[2].m_max, c.friction1) << c.speed;
        // Without a given acceleration the row asks the sliding to stop within the step.
        EXPECT_NEAR(m_params.m_accelerations[1], c.speed / kStep, 1e-3f) << c.speed;
    }

    // A given tangent acceleration replaces the stopping one on its own tangent only.
    point.m_tangent0Acceleration = 4.0f;
    point.m_flags |= dgContactMaterial::kTangent0Acceleration;
    ASSERT_EQ(Submit(), 3);
    EXPECT_EQ(m_params.m_accelerations[1], 4.0f);
    EXPECT_NEAR(m_params.m_accelerations[2], -0.31f / kStep, 1e-3f);
}

TEST(dgContactJoint, ContactJointsAreNotJoinsAndTakeNoDestructorCallback) {
    dgContactJoint joint;
    EXPECT_EQ(joint.m_kind, dgJointBase::kContactJoint);
    EXPECT_EQ(joint.m_collisionState, 1);
    EXPECT_FALSE(joint.JoinsBodies());
    EXPECT_EQ(joint.GetStiffness(), 1.0f);
    joint.SetStiffness(0.2f);
    EXPECT_EQ(joint.GetStiffness(), 1.0f);
    EXPECT_EQ(joint.SetJointDestructor([](dgJointBase*) {}), nullptr);
}

TEST(dgContactJointPool, ReleasedJointsAreHandedOutAgainFirstAndEmpty) {
    std::unique_ptr<dgWorld> world(new dgWorld);
    dgContactJointPool& pool = world->m_contactJointPool;
    dgBody body0;
    dgBody body1;

    std::vector<dgContactJoint*> joints;
    for (dgInt32 i = 0; i < 70; i++) {
        joints.push_back(world->CreateContactJoint());
    }
    EXPECT_EQ(pool.m_activeList.GetCount(), 70);
    EXPECT_EQ(pool.m_joints.GetPageCount(), 2);

    dgContactJoint* used = joints[3];
    used->m_body0 = &body0;
    used->m_body1 = &body1;
    used->m_contactStamp = 99;
    used->m_userData = &body0;
    for (dgInt32 i = 0; i < 5; i++) {
        used->m_points.Append();
    }
    used->SetPointCount(4);
    used->Release(world.get());
    joints[10]->Release(world.get());
    EXPECT_EQ(pool.m_activeList.GetCount(), 68);
    EXPECT_EQ(used->m_activeNode, nullptr);

    // Oldest release first, before any fresh slot.
    dgContactJoint* again = world->CreateContactJoint();
    ASSERT_EQ(again, used);
    EXPECT_EQ(again->m_points.GetCount(), 0);
    EXPECT_EQ(again->m_pointCount, 0);
    EXPECT_EQ(again->m_maxRows, 0);
    EXPECT_EQ(again->m_contactStamp, 0u);
    EXPECT_EQ(again->m_body0, nullptr);
    EXPECT_EQ(again->m_body1, nullptr);
    EXPECT_EQ(again->m_userData, nullptr);
    EXPECT_EQ(again->m_kind, dgJointBase::kContactJoint);
    EXPECT_EQ(again->m_collisionState, 1);
    ASSERT_NE(again->m_activeNode, nullptr);
    EXPECT_EQ(again->m_activeNode->GetInfo(), again);
    EXPECT_EQ(world->CreateContactJoint(), joints[10]);
    EXPECT_EQ(pool.m_activeList.GetCount(), 70);
}

namespace {

/// A world with two boxes, body0 with mass, and contact joints between them.
class ContactJointsInAWorld : public ::testing::Test {
protected:
    void SetUp() override {
        m_world.reset(new dgWorld);
        dgCollision* shape = MakeTestShape();
        m_body0 = m_world->CreateBody(shape);
        m_body1 = m_world->CreateBody(shape);
        dgRefRelease(shape);
        MakeDynamic(m_body0);
    }

    dgContactJoint* Touch(dgInt32 points) {
        dgContactJoint* joint = m_world->CreateContactJoint();
        m_world->AttachJoint(joint, m_body0, m_body1);
        for (dgInt32 i = 0; i < points; i++) {
            joint->m_points.Append();
        }
        joint->SetPointCount(points);
        return joint;
    }

    std::unique_ptr<dgWorld> m_world;
    dgBody* m_body0 = nullptr;
    dgBody* m_body1 = nullptr;
};

} // namespace

TEST_F(ContactJointsInAWorld, StaleJointsAreDestroyedThroughTheWorldAndHandedOutAgainEmpty) {
    dgContactJointPool& pool = m_world->m_contactJointPool;
    dgContactJoint* stale = Touch(3);
    dgContactJoint* kept = Touch(2);
    EXPECT_EQ(m_world->GetJointCount(), 2);

    pool.m_staleList.Append(stale);
    pool.ReleaseContactList(m_world.get());
    EXPECT_EQ(pool.m_staleList.GetCount(), 0);
    EXPECT_EQ(pool.m_activeList.GetCount(), 1);
    EXPECT_EQ(m_world->GetJointCount(), 1);
    EXPECT_EQ(stale->m_link, nullptr);
    // Each body's ring now holds the kept joint only.
    ASSERT_NE(m_body0->m_jointRing, nullptr);
    EXPECT_EQ(m_body0->m_jointRing->m_joint, kept);
    EXPECT_EQ(m_body1->m_jointRing->m_joint, kept);

    dgContactJoint* again = m_world->CreateContactJoint();
    EXPECT_EQ(again, stale);
    EXPECT_EQ(again->m_points.GetCount(), 0);
    EXPECT_EQ(again->m_pointCount, 0);
    EXPECT_EQ(again->m_maxRows, 0);
}

TEST_F(ContactJointsInAWorld, DestroyingABodyReleasesItsContactJointsAndTheWorldTearsDownTheRest) {
    dgContactJointPool& pool = m_world->m_contactJointPool;
    Touch(4);
    Touch(1);
    // A joint the contact calculation took but never attached is the pool's to free.
    m_world->CreateContactJoint()->m_points.Append();
    m_world->DestroyBodyNow(m_body1);
    EXPECT_EQ(pool.m_activeList.GetCount(), 1);
    EXPECT_EQ(pool.m_joints.GetReleasedCount(), 2);
    EXPECT_EQ(m_body0->m_jointRing, nullptr);

    Touch(0);
    // The sanitizer build reports any point or joint the teardown loses.
    m_world.reset();
}
