#include "WorldTestSupport.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "physics/dynamics/dgWorldDynamicsUpdate.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr dgFloat32 kStep = 1.0f / 60.0f;
constexpr dgFloat32 kGravity = 10.0f;

void Gravity(dgBody* body) {
    body->m_force = dgVector(0.0f, -kGravity * body->m_mass.w, 0.0f, 0.0f);
    body->m_torque = dgVector();
}

/// Holds body0's centre of mass at a fixed point of the world with three linear rows.
class AnchorJoint : public dgJointBase {
public:
    dgVector m_anchor;
    dgFloat32 m_forces[3] = {};

    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback) override { return nullptr; }
    void Release(dgWorld*) override {}
    dgInt32 SubmitConstraints(dgJointParams& params) override {
        const dgFloat32 h = params.m_timeStep;
        const dgFloat32 kd = 1500.0f * h + 100.0f;
        const dgVector axes[3] = {dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0)};
        const dgVector error = m_anchor.Sub(m_body0->m_globalCentreOfMass);
        for (dgInt32 i = 0; i < 3; i++) {
            params.m_jacobians[i] = dgJacobianPair{};
            params.m_jacobians[i].m_jacobian0.m_linear = axes[i];
            params.m_jacobians[i].m_jacobian1.m_linear = axes[i].Scale(-1.0f);
            const dgFloat32 v = -m_body0->m_veloc.DotProduct(axes[i]);
            params.m_accelerations[i] = (kd * v + 1500.0f * error.DotProduct(axes[i])) / (kd * h + 1.0f);
            params.m_stiffness[i] = 1.0f;
            params.m_forceFeedback[i] = &m_forces[i];
        }
        return 3;
    }
};

/// A world with a unit box shape; bodies get gravity unless asked otherwise.
class DynamicsWorld {
public:
    DynamicsWorld() : m_world(new dgWorld), m_shape(MakeTestShape()) {}
    ~DynamicsWorld() {
        delete m_world;
        dgRefRelease(m_shape);
    }
    DynamicsWorld(const DynamicsWorld&) = delete;
    DynamicsWorld& operator=(const DynamicsWorld&) = delete;

    dgBody* AddBody(const dgVector& position, dgFloat32 mass = 1.0f, bool gravity = true) {
        dgBody* body = m_world->CreateBody(m_shape);
        if (mass > 0.0f) {
            body->SetMassMatrix(mass, mass / 6.0f, mass / 6.0f, mass / 6.0f);
        }
        dgMatrix matrix = dgGetIdentityMatrix();
        matrix.posit = dgVector(position.x, position.y, position.z, 1.0f);
        body->SetMatrix(matrix);
        if (gravity) {
            body->m_forceAndTorque = Gravity;
        }
        return body;
    }

    dgWorld* m_world;
    dgCollision* m_shape;
};

std::vector<dgUnsigned32> g_autoActive;

void RecordAutoActive(dgBody*, dgUnsigned32 state) {
    g_autoActive.push_back(state);
}

dgVector WorldAngularMomentum(const dgBody* body) {
    const dgVector w = body->m_matrix.InverseRotateVector(body->m_omega);
    const dgVector l(body->m_mass.x * w.x, body->m_mass.y * w.y, body->m_mass.z * w.z, 0.0f);
    return body->m_matrix.RotateVector(l);
}

dgFloat32 Length(const dgVector& v) {
    return std::sqrt(v.DotProduct(v));
}

} // namespace

// ---- Bodies without joints -------------------------------------------------------------------------------

BOTH_BUILDS_SUITE(dgWorldDynamicsUpdateStepping);

TEST_P(dgWorldDynamicsUpdateStepping, TorqueFreeBodyNearItsIntermediateAxisKeepsItsAngularMomentum) {
    DynamicsWorld scene;
    dgBody* body = scene.AddBody(dgVector(), 1.0f, false);
    body->SetMassMatrix(1.0f, 1.0f, 2.0f, 3.0f);
    body->m_flags = (body->m_flags | dgBody::kGyroscopicTorque) & ~dgBody::kAutoFreeze;
    body->m_linearDamping = 0.0f;
    body->m_angularDamping = dgVector();
    body->m_omega = dgVector(0.01f, 3.0f, 0.01f, 0.0f);
    const dgVector l0 = WorldAngularMomentum(body);

    dgFloat32 lowestSpin = 3.0f;
    // 5 s in steps short enough for the explicit integration to follow the tumble.
    const dgFloat32 spinStep = 1.0f / 240.0f;
    for (int i = 0; i < 1200; i++) {
        scene.m_world->Update(spinStep);
        const dgVector l = WorldAngularMomentum(body);
        ASSERT_LT(Length(l.Sub(l0)), 0.01f * Length(l0)) << "step " << i;
        lowestSpin = std::min(lowestSpin, body->m_matrix.InverseRotateVector(body->m_omega).y);
    }
    // The spin about the middle axis is unstable: the body tumbles, so the torque really acted.
    EXPECT_LT(lowestSpin, 0.0f);
}

TEST_P(dgWorldDynamicsUpdateStepping, BodiesWithoutJointsAreDampedOncePerStep) {
    DynamicsWorld scene;
    dgBody* body = scene.AddBody(dgVector(), 1.0f, false);
    body->m_linearDamping = 0.1f;
    body->m_angularDamping = dgVector(0.2f, 0.2f, 0.2f, 0.0f);
    body->m_veloc = dgVector(1.0f, 2.0f, 0.0f, 0.0f);
    body->m_omega = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
    scene.m_world->Update(kStep);
    EXPECT_NEAR(body->m_veloc.x, 0.9f, 1.0e-6f);
    EXPECT_NEAR(body->m_veloc.y, 1.8f, 1.0e-6f);
    EXPECT_NEAR(body->m_omega.z, 0.8f, 1.0e-6f);
    EXPECT_NEAR(body->m_matrix.posit.x, 0.9f * kStep, 1.0e-6f);
}

TEST_P(dgWorldDynamicsUpdateStepping, ABodyAtRestFreezesAndAFallingOneDoesNot) {
    DynamicsWorld scene;
    dgBody* resting = scene.AddBody(dgVector(), 1.0f, false);
    dgBody* falling = scene.AddBody(dgVector(5.0f, 0.0f, 0.0f, 0.0f));
    resting->m_autoActive = RecordAutoActive;
    g_autoActive.clear();
    scene.m_world->Update(kStep);
    EXPECT_EQ(g_autoActive, std::vector<dgUnsigned32>{0u});
    EXPECT_EQ(resting->m_activeNode, nullptr);
    EXPECT_EQ(resting->m_flags & dgBody::kActive, 0u);
    EXPECT_NE(falling->m_activeNode, nullptr);
    EXPECT_NEAR(falling->m_veloc.y, -kGravity * kStep, 1.0e-5f);
}

TEST_P(dgWorldDynamicsUpdateStepping, StaticBodyLeavesTheActiveSetInEquilibriumInTheScalarBuildOnly) {
    DynamicsWorld scene;
    dgBody* fixed = scene.AddBody(dgVector(), 0.0f, false);
    fixed->m_flags &= ~dgBody::kEquilibrium;
    fixed->m_autoActive = RecordAutoActive;
    g_autoActive.clear();
    ASSERT_NE(fixed->m_activeNode, nullptr);
    scene.m_world->Update(kStep);
    EXPECT_EQ(fixed->m_activeNode, nullptr);
    // The packed build leaves the equilibrium bit as it was.
    const dgUnsigned32 equilibrium = scene.m_world->m_simdBuild != 0 ? 0u : dgBody::kEquilibrium;
    EXPECT_EQ(fixed->m_flags & (dgBody::kActive | dgBody::kEquilibrium), equilibrium);
    EXPECT_EQ(g_autoActive, std::vector<dgUnsigned32>{0u});
}

TEST_P(dgWorldDynamicsUpdateStepping, EmptyWorldAdvancesTheStepStampByThree) {
    DynamicsWorld scene;
    const dgUnsigned64 before = scene.m_world->m_stepStamp;
    scene.m_world->Update(kStep);
    EXPECT_EQ(scene.m_world->m_stepStamp, before + 3);
}

// ---- Islands ---------------------------------------------------------------------------------------------

TEST_P(dgWorldDynamicsUpdateStepping, AnchoredBodyCarriesItsWeightInTheJointAndFreezes) {
    DynamicsWorld scene;
    dgBody* body = scene.AddBody(dgVector(0.0f, 2.0f, 0.0f, 0.0f), 3.0f);
    body->m_autoActive = RecordAutoActive;
    AnchorJoint joint;
    joint.m_anchor = body->m_globalCentreOfMass;
    scene.m_world->AttachJoint(&joint, body, nullptr);
    g_autoActive.clear();
    for (int i = 0; i < 120 && body->m_activeNode != nullptr; i++) {
        scene.m_world->Update(kStep);
    }
    EXPECT_EQ(body->m_activeNode, nullptr) << "not at rest within 2 s";
    EXPECT_EQ(g_autoActive.back(), 0u);
    EXPECT_NEAR(joint.m_forces[1], 3.0f * kGravity, 0.01f * 3.0f * kGravity);
    EXPECT_NEAR(body->m_matrix.posit.y, 2.0f, 0.01f);
    scene.m_world->DestroyJointNow(&joint);
}

TEST_P(dgWorldDynamicsUpdateStepping, OnlyTheFirstBodyOfAMovingIslandStaysActive) {
    DynamicsWorld scene;
    dgBody* bodies[3];
    TestJoint joints[2];
    for (int i = 0; i < 3; i++) {
        bodies[i] = scene.AddBody(dgVector(static_cast<dgFloat32>(i) * 2.0f, 0.0f, 0.0f, 0.0f));
        bodies[i]->m_linearDamping = 0.0f;
    }
    scene.m_world->AttachJoint(&joints[0], bodies[0], bodies[1]);
    scene.m_world->AttachJoint(&joints[1], bodies[1], bodies[2]);
    scene.m_world->Update(kStep);
    EXPECT_EQ(scene.m_world->m_activeBodies.GetCount(), 1);
    // Each body was integrated exactly once.
    for (dgBody* body : bodies) {
        EXPECT_NEAR(body->m_veloc.y, -kGravity * kStep, 1.0e-5f);
        EXPECT_NE(body->m_flags & dgBody::kActive, 0u);
    }
    // The next step reaches the others through the first.
    scene.m_world->Update(kStep);
    for (dgBody* body : bodies) {
        EXPECT_NEAR(body->m_veloc.y, -2.0f * kGravity * kStep, 1.0e-5f);
    }
    scene.m_world->DestroyJointNow(&joints[0]);
    scene.m_world->DestroyJointNow(&joints[1]);
}

TEST_P(dgWorldDynamicsUpdateStepping, IslandsLargerThanTheOldCapacitiesAreSolvedWhole) {
    DynamicsWorld scene;
    // 600 anchored bodies chained by row-less joints: one island of 600 bodies and 1199 joints.
    constexpr int kCount = 600;
    std::vector<dgBody*> bodies;
    std::vector<std::unique_ptr<AnchorJoint>> anchors;
    std::vector<std::unique_ptr<TestJoint>> links;
    for (int i = 0; i < kCount; i++) {
        dgBody* body = scene.AddBody(dgVector(static_cast<dgFloat32>(i) * 2.0f, 0.0f, 0.0f, 0.0f));
        anchors.push_back(std::make_unique<AnchorJoint>());
        anchors.back()->m_anchor = body->m_globalCentreOfMass;
        scene.m_world->AttachJoint(anchors.back().get(), body, nullptr);
        if (!bodies.empty()) {
            links.push_back(std::make_unique<TestJoint>());
            scene.m_world->AttachJoint(links.back().get(), bodies.back(), body);
        }
        bodies.push_back(body);
    }
    scene.m_world->Update(kStep);
    EXPECT_EQ(scene.m_world->m_dynamicsUpdate.m_area.m_bodyCount, kCount + 1);
    EXPECT_EQ(scene.m_world->m_dynamicsUpdate.m_area.m_rowCount, 3 * kCount);
    for (const auto& anchor : anchors) {
        EXPECT_NEAR(anchor->m_forces[1], kGravity, 0.01f * kGravity);
    }
    for (auto& anchor : anchors) {
        scene.m_world->DestroyJointNow(anchor.get());
    }
    for (auto& link : links) {
        scene.m_world->DestroyJointNow(link.get());
    }
}

// ---- Contact joints filled by hand -----------------------------------------------------------------------

namespace {

/// Gravity, and every contact joint of the body counts as refreshed in this step.
void GravityAndFreshContacts(dgBody* body) {
    Gravity(body);
    for (auto* node = body->m_world->m_contactJointPool.m_activeList.GetFirst(); node != nullptr;
         node = node->GetNext()) {
        dgContactJoint* joint = node->GetInfo();
        if (joint->m_body0 == body) {
            joint->m_contactStamp = body->m_world->m_stepStamp;
        }
    }
}

/// A unit box (body0) standing on a static floor (body1) through four corner points.
dgContactJoint* StandOnFloor(dgWorld* world, dgBody* box, dgBody* floor) {
    dgContactJoint* joint = world->CreateContactJoint();
    world->AttachJoint(joint, box, floor);
    const dgVector centre = box->m_globalCentreOfMass;
    for (int i = 0; i < 4; i++) {
        dgContact& point = joint->m_points.Append()->GetInfo();
        point.m_point.m_point =
            dgVector(centre.x + ((i & 1) ? 0.5f : -0.5f), centre.y - 0.5f, centre.z + ((i & 2) ? 0.5f : -0.5f), 1.0f);
        point.m_point.m_normal = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
        point.m_point.m_body0 = box;
        point.m_point.m_body1 = floor;
        point.m_dir0 = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
        point.m_dir1 = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
        point.m_softness = 0.1f;
        point.m_staticFriction0 = point.m_staticFriction1 = 0.9f;
        point.m_kineticFriction0 = point.m_kineticFriction1 = 0.5f;
        point.m_flags = dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;
    }
    joint->SetPointCount(4);
    return joint;
}

dgFloat32 NormalForceSum(dgContactJoint* joint) {
    dgFloat32 sum = 0.0f;
    for (auto* node = joint->m_points.GetFirst(); node != nullptr; node = node->GetNext()) {
        sum += node->GetInfo().m_normalAcceleration;
    }
    return sum;
}

} // namespace

TEST_P(dgWorldDynamicsUpdateStepping, ContactJointsNotRefreshedAreReleasedInTheSameStep) {
    DynamicsWorld scene;
    dgBody* floor = scene.AddBody(dgVector(0.0f, -0.5f, 0.0f, 0.0f), 0.0f, false);
    dgBody* stale = scene.AddBody(dgVector(0.0f, 0.5f, 0.0f, 0.0f));
    dgBody* fresh = scene.AddBody(dgVector(3.0f, 0.5f, 0.0f, 0.0f));
    fresh->m_forceAndTorque = GravityAndFreshContacts;
    StandOnFloor(scene.m_world, stale, floor);
    dgContactJoint* kept = StandOnFloor(scene.m_world, fresh, floor);
    ASSERT_EQ(scene.m_world->GetJointCount(), 2);

    scene.m_world->Update(kStep);
    EXPECT_EQ(scene.m_world->GetJointCount(), 1);
    EXPECT_EQ(stale->m_jointRing, nullptr);
    EXPECT_EQ(scene.m_world->m_contactJointPool.m_staleList.GetCount(), 0);
    EXPECT_EQ(scene.m_world->m_contactJointPool.m_activeList.GetCount(), 1);
    EXPECT_NE(kept->m_activeNode, nullptr);
    // The stale box was not held: it fell freely for the step.
    EXPECT_NEAR(stale->m_veloc.y, -kGravity * kStep, 1.0e-5f);
    EXPECT_GT(NormalForceSum(kept), 0.0f);
}
