#include "WorldTestSupport.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "physics/dynamics/dgWorldDynamicsUpdate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

TEST(dgWorldDynamicsUpdate, TorqueFreeBodyNearItsIntermediateAxisKeepsItsAngularMomentum) {
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

TEST(dgWorldDynamicsUpdate, BodiesWithoutJointsAreDampedOncePerStep) {
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

TEST(dgWorldDynamicsUpdate, ABodyAtRestFreezesAndAFallingOneDoesNot) {
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

TEST(dgWorldDynamicsUpdate, StaticBodyInTheActiveSetLeavesItInEquilibrium) {
    DynamicsWorld scene;
    dgBody* fixed = scene.AddBody(dgVector(), 0.0f, false);
    fixed->m_flags &= ~dgBody::kEquilibrium;
    fixed->m_autoActive = RecordAutoActive;
    g_autoActive.clear();
    ASSERT_NE(fixed->m_activeNode, nullptr);
    scene.m_world->Update(kStep);
    EXPECT_EQ(fixed->m_activeNode, nullptr);
    EXPECT_EQ(fixed->m_flags & (dgBody::kActive | dgBody::kEquilibrium), dgBody::kEquilibrium);
    EXPECT_EQ(g_autoActive, std::vector<dgUnsigned32>{0u});
}

TEST(dgWorldDynamicsUpdate, EmptyWorldAdvancesTheStepStampByThree) {
    DynamicsWorld scene;
    const dgUnsigned64 before = scene.m_world->m_stepStamp;
    scene.m_world->Update(kStep);
    EXPECT_EQ(scene.m_world->m_stepStamp, before + 3);
}

// ---- Islands ---------------------------------------------------------------------------------------------

TEST(dgWorldDynamicsUpdate, AnchoredBodyCarriesItsWeightInTheJointAndFreezes) {
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

TEST(dgWorldDynamicsUpdate, OnlyTheFirstBodyOfAMovingIslandStaysActive) {
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

TEST(dgWorldDynamicsUpdate, IslandsLargerThanTheOldCapacitiesAreSolvedWhole) {
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

TEST(dgWorldDynamicsUpdate, BoxOnRefreshedContactsCarriesItsWeightAndComesToRest) {
    DynamicsWorld scene;
    dgBody* floor = scene.AddBody(dgVector(0.0f, -0.5f, 0.0f, 0.0f), 0.0f, false);
    dgBody* box = scene.AddBody(dgVector(0.0f, 0.5f, 0.0f, 0.0f), 2.0f);
    box->m_forceAndTorque = GravityAndFreshContacts;
    dgContactJoint* joint = StandOnFloor(scene.m_world, box, floor);
    for (int i = 0; i < 120 && box->m_activeNode != nullptr; i++) {
        scene.m_world->Update(kStep);
    }
    EXPECT_EQ(box->m_activeNode, nullptr) << "not at rest within 2 s";
    EXPECT_NEAR(NormalForceSum(joint), 2.0f * kGravity, 0.01f * 2.0f * kGravity);
    EXPECT_NEAR(box->m_matrix.posit.y, 0.5f, 0.01f);
}

TEST(dgWorldDynamicsUpdate, ContactJointsNotRefreshedAreReleasedInTheSameStep) {
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

// ---- Determinism -----------------------------------------------------------------------------------------

namespace {

std::vector<dgMatrix> RunScene() {
    DynamicsWorld scene;
    dgBody* floor = scene.AddBody(dgVector(0.0f, -0.5f, 0.0f, 0.0f), 0.0f, false);
    std::vector<dgBody*> bodies;
    std::vector<std::unique_ptr<AnchorJoint>> anchors;
    for (int i = 0; i < 6; i++) {
        dgBody* box = scene.AddBody(dgVector(static_cast<dgFloat32>(i) * 2.0f, 0.6f, 0.0f, 0.0f), 1.0f + i);
        box->m_forceAndTorque = GravityAndFreshContacts;
        box->m_flags |= dgBody::kGyroscopicTorque;
        box->m_omega = dgVector(0.1f * i, 0.3f, -0.2f, 0.0f);
        StandOnFloor(scene.m_world, box, floor);
        bodies.push_back(box);
    }
    dgBody* hanging = scene.AddBody(dgVector(0.0f, 5.0f, 0.0f, 0.0f));
    anchors.push_back(std::make_unique<AnchorJoint>());
    anchors.back()->m_anchor = dgVector(0.3f, 5.2f, 0.0f, 1.0f);
    scene.m_world->AttachJoint(anchors.back().get(), hanging, nullptr);
    bodies.push_back(hanging);
    for (int i = 0; i < 90; i++) {
        scene.m_world->Update(kStep);
    }
    std::vector<dgMatrix> matrices;
    for (const dgBody* body : bodies) {
        matrices.push_back(body->m_matrix);
    }
    scene.m_world->DestroyJointNow(anchors.back().get());
    return matrices;
}

} // namespace

TEST(dgWorldDynamicsUpdate, TheSameSceneSteppedTwiceGivesBitIdenticalTransforms) {
    const std::vector<dgMatrix> first = RunScene();
    const std::vector<dgMatrix> second = RunScene();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); i++) {
        EXPECT_EQ(std::memcmp(&first[i], &second[i], sizeof(dgMatrix)), 0) << "body " << i;
    }
}

// ---- Against a plane, with contacts made by hand each step ------------------------------------------------

namespace {

/// A body touching the static plane n . x = 0 (body1 of the joint) through a contact joint whose points
/// the body's force callback remakes every step: the four corners of a unit box's face towards the plane,
/// or the lowest point of a ball of radius 0.5.
struct PlaneContact {
    dgContactJoint* m_joint = nullptr;
    dgVector m_normal;
    dgVector m_downhill; ///< first friction direction
    bool m_ball = false;
    dgFloat32 m_staticFriction = 0.9f;
    dgFloat32 m_kineticFriction = 0.5f;
    dgFloat32 m_elasticity = 0.0f;
};

void GravityAndPlaneContacts(dgBody* body) {
    Gravity(body);
    const PlaneContact& plane = *static_cast<const PlaneContact*>(body->m_userData);
    dgContactJoint* joint = plane.m_joint;
    joint->m_contactStamp = body->m_world->m_stepStamp;

    std::vector<dgVector> corners;
    if (plane.m_ball) {
        corners.push_back(body->m_globalCentreOfMass.Sub(plane.m_normal.Scale(0.5f)));
    } else {
        for (int i = 0; i < 8; i++) {
            const dgVector local((i & 1) ? 0.5f : -0.5f, (i & 2) ? 0.5f : -0.5f, (i & 4) ? 0.5f : -0.5f, 1.0f);
            corners.push_back(body->m_matrix.TransformVector(local));
        }
    }
    dgInt32 count = 0;
    auto* node = joint->m_points.GetFirst();
    for (const dgVector& corner : corners) {
        const dgFloat32 distance = corner.DotProduct(plane.m_normal);
        if (distance > 0.01f) {
            continue;
        }
        if (node == nullptr) {
            node = joint->m_points.Append();
        }
        dgContact& point = node->GetInfo();
        point.m_point.m_point = corner.Sub(plane.m_normal.Scale(distance));
        point.m_point.m_point.w = 1.0f;
        point.m_point.m_normal = plane.m_normal;
        point.m_point.m_body0 = body;
        point.m_point.m_body1 = joint->m_body1;
        point.m_point.m_penetration = std::max(-distance, 0.0f);
        point.m_dir0 = plane.m_downhill;
        point.m_dir1 = plane.m_normal.CrossProduct(plane.m_downhill);
        point.m_softness = 0.1f;
        point.m_elasticity = plane.m_elasticity;
        point.m_staticFriction0 = point.m_staticFriction1 = plane.m_staticFriction;
        point.m_kineticFriction0 = point.m_kineticFriction1 = plane.m_kineticFriction;
        point.m_flags = dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;
        node = node->GetNext();
        count++;
    }
    joint->SetPointCount(count);
}

/// A unit box resting on the plane through the origin tilted by angle about z (downhill towards +x).
struct SlopeScene {
    explicit SlopeScene(dgFloat32 angle, dgFloat32 staticFriction, dgFloat32 kineticFriction) {
        const dgFloat32 c = std::cos(angle);
        const dgFloat32 s = std::sin(angle);
        m_plane.m_normal = dgVector(s, c, 0.0f, 0.0f);
        m_plane.m_downhill = dgVector(c, -s, 0.0f, 0.0f);
        m_plane.m_staticFriction = staticFriction;
        m_plane.m_kineticFriction = kineticFriction;
        dgBody* floor = m_scene.AddBody(dgVector(0.0f, -5.0f, 0.0f, 0.0f), 0.0f, false);
        m_box = m_scene.AddBody(dgVector(), 1.0f);
        const dgMatrix matrix(m_plane.m_downhill, m_plane.m_normal, dgVector(0.0f, 0.0f, 1.0f, 0.0f),
                              m_plane.m_normal.Scale(0.5f));
        dgMatrix placed = matrix;
        placed.posit.w = 1.0f;
        m_box->SetMatrix(placed);
        m_box->m_linearDamping = 0.0f;
        m_box->m_angularDamping = dgVector();
        m_box->m_userData = &m_plane;
        m_box->m_forceAndTorque = GravityAndPlaneContacts;
        m_plane.m_joint = m_scene.m_world->CreateContactJoint();
        m_scene.m_world->AttachJoint(m_plane.m_joint, m_box, floor);
    }

    dgFloat32 DownhillSpeed() const { return m_box->m_veloc.DotProduct(m_plane.m_downhill); }

    DynamicsWorld m_scene;
    PlaneContact m_plane;
    dgBody* m_box = nullptr;
};

constexpr dgFloat32 kDegree = 0.01745328f;

} // namespace

TEST(dgWorldDynamicsUpdate, BoxOnAGentleSlopeIsHeldByStaticFriction) {
    SlopeScene slope(20.0f * kDegree, 0.9f, 0.5f);
    const dgVector start = slope.m_box->m_matrix.posit;
    for (int i = 0; i < 600; i++) {
        slope.m_scene.m_world->Update(kStep);
    }
    const dgVector moved = slope.m_box->m_matrix.posit.Sub(start);
    EXPECT_LT(Length(moved), 0.01f);
    EXPECT_EQ(slope.m_box->m_activeNode, nullptr) << "held boxes come to rest";
}

TEST(dgWorldDynamicsUpdate, BoxOnASteepSlopeSlidesWithKineticFriction) {
    const dgFloat32 angle = 45.0f * kDegree;
    SlopeScene slope(angle, 0.9f, 0.5f);
    // Past the speed where kinetic friction takes over, the speed grows at g (sin - mu cos).
    int step = 0;
    for (; step < 120 && slope.DownhillSpeed() < 0.5f; step++) {
        slope.m_scene.m_world->Update(kStep);
    }
    ASSERT_GE(slope.DownhillSpeed(), 0.5f) << "the box did not slide";
    const dgFloat32 v0 = slope.DownhillSpeed();
    for (int i = 0; i < 30; i++) {
        slope.m_scene.m_world->Update(kStep);
    }
    const dgFloat32 acceleration = (slope.DownhillSpeed() - v0) / (30.0f * kStep);
    const dgFloat32 expected = kGravity * (std::sin(angle) - 0.5f * std::cos(angle));
    EXPECT_NEAR(acceleration, expected, 0.05f * expected);
}

TEST(dgWorldDynamicsUpdate, BallRisesFromTheFloorAtItsElasticityTimesTheImpactSpeed) {
    for (const dgFloat32 elasticity : {0.3f, 0.6f}) {
        DynamicsWorld scene;
        PlaneContact plane;
        plane.m_normal = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
        plane.m_downhill = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
        plane.m_ball = true;
        plane.m_elasticity = elasticity;
        dgBody* floor = scene.AddBody(dgVector(0.0f, -5.0f, 0.0f, 0.0f), 0.0f, false);
        dgBody* ball = scene.AddBody(dgVector(0.0f, 2.5f, 0.0f, 0.0f), 1.0f);
        ball->m_linearDamping = 0.0f;
        ball->m_userData = &plane;
        ball->m_forceAndTorque = GravityAndPlaneContacts;
        plane.m_joint = scene.m_world->CreateContactJoint();
        scene.m_world->AttachJoint(plane.m_joint, ball, floor);

        dgFloat32 impact = 0.0f;
        dgFloat32 rebound = 0.0f;
        for (int i = 0; i < 120 && rebound <= 0.0f; i++) {
            const dgFloat32 before = ball->m_veloc.y;
            scene.m_world->Update(kStep);
            if (before < 0.0f && ball->m_veloc.y > 0.0f) {
                impact = -before;
                rebound = ball->m_veloc.y;
            }
        }
        ASSERT_GT(impact, 5.0f);
        EXPECT_NEAR(rebound, elasticity * impact, 0.1f * elasticity * impact) << "elasticity " << elasticity;
    }
}

// ---- Stacks on contacts made once where the boxes touch ----------------------------------------------------

namespace {

/// upper rests on lower over x in [x0, x1] at height y: four corner points.
void Touch(dgWorld* world, dgBody* upper, dgBody* lower, dgFloat32 x0, dgFloat32 x1, dgFloat32 y) {
    dgContactJoint* joint = world->CreateContactJoint();
    world->AttachJoint(joint, upper, lower);
    for (int i = 0; i < 4; i++) {
        dgContact& point = joint->m_points.Append()->GetInfo();
        point.m_point.m_point = dgVector((i & 1) ? x1 : x0, y, (i & 2) ? 0.5f : -0.5f, 1.0f);
        point.m_point.m_normal = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
        point.m_point.m_body0 = upper;
        point.m_point.m_body1 = lower;
        point.m_dir0 = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
        point.m_dir1 = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
        point.m_softness = 0.1f;
        point.m_staticFriction0 = point.m_staticFriction1 = 0.9f;
        point.m_kineticFriction0 = point.m_kineticFriction1 = 0.5f;
        point.m_flags = dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;
    }
    joint->SetPointCount(4);
}

dgFloat32 LargestDrift(const std::vector<dgBody*>& bodies, const std::vector<dgVector>& start) {
    dgFloat32 drift = 0.0f;
    for (std::size_t i = 0; i < bodies.size(); i++) {
        drift = std::max(drift, Length(bodies[i]->m_matrix.posit.Sub(start[i])));
    }
    return drift;
}

} // namespace

TEST(dgWorldDynamicsUpdate, TowerOfTenAndPyramidOfTwentyRowsStandTenSeconds) {
    for (const bool pyramid : {false, true}) {
        DynamicsWorld scene;
        dgBody* floor = scene.AddBody(dgVector(0.0f, -0.5f, 0.0f, 0.0f), 0.0f, false);
        std::vector<dgBody*> bodies;
        std::vector<dgBody*> below;
        const int rows = pyramid ? 20 : 10;
        for (int r = 0; r < rows; r++) {
            const int count = pyramid ? rows - r : 1;
            const dgFloat32 y = static_cast<dgFloat32>(r);
            std::vector<dgBody*> row;
            for (int k = 0; k < count; k++) {
                const dgFloat32 x = static_cast<dgFloat32>(k) - 0.5f * static_cast<dgFloat32>(count - 1);
                dgBody* box = scene.AddBody(dgVector(x, y + 0.5f, 0.0f, 0.0f));
                box->m_forceAndTorque = GravityAndFreshContacts;
                // Knocked a little, so the stack has to settle.
                const dgFloat32 knock = static_cast<dgFloat32>((k + r) % 3 - 1);
                box->m_veloc = dgVector(0.05f * knock, -0.1f, 0.03f * knock, 0.0f);
                box->m_omega = dgVector(0.0f, 0.1f * knock, 0.05f * knock, 0.0f);
                if (r == 0) {
                    Touch(scene.m_world, box, floor, x - 0.5f, x + 0.5f, y);
                } else if (!pyramid) {
                    Touch(scene.m_world, box, below[0], x - 0.5f, x + 0.5f, y);
                } else {
                    Touch(scene.m_world, box, below[static_cast<std::size_t>(k)], x - 0.5f, x, y);
                    Touch(scene.m_world, box, below[static_cast<std::size_t>(k) + 1], x, x + 0.5f, y);
                }
                row.push_back(box);
                bodies.push_back(box);
            }
            below = row;
        }
        ASSERT_EQ(bodies.size(), pyramid ? 210u : 10u);
        std::vector<dgVector> start;
        for (const dgBody* body : bodies) {
            start.push_back(body->m_matrix.posit);
        }
        for (int i = 0; i < 600; i++) {
            scene.m_world->Update(kStep);
        }
        EXPECT_LT(LargestDrift(bodies, start), 0.01f) << (pyramid ? "pyramid" : "tower");
        EXPECT_EQ(scene.m_world->m_activeBodies.GetCount(), 0) << (pyramid ? "pyramid" : "tower");
    }
}
