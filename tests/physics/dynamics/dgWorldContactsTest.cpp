#include "physics/collision/dgCompoundCollision.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"

#include "WorldTestSupport.h"
#include "support/MathAssertions.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <vector>

namespace {

dgMatrix At(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix matrix = dgGetIdentityMatrix();
    matrix.posit = dgVector(x, y, z, 1.0f);
    return matrix;
}

// What the material callbacks saw.
struct CallbackLog {
    int m_begin = 0;
    int m_process = 0;
    int m_end = 0;
    dgUnsigned8 m_beginAnswer = 1;
    dgUnsigned8 m_processAnswer = 1;
    bool m_clearCollidable = false;
    std::vector<dgUnsigned32> m_bodyFlagsInProcess;
    std::vector<dgUnsigned32> m_pointFlagsInProcess;
};
CallbackLog* g_log = nullptr;

dgUnsigned8 LogBegin(dgMaterialPair*, dgBody*, dgBody*) {
    g_log->m_begin++;
    return g_log->m_beginAnswer;
}

dgUnsigned8 LogProcess(dgContactMaterial* contact, dgContactJoint* joint) {
    g_log->m_process++;
    g_log->m_bodyFlagsInProcess.push_back(joint->m_body0->m_flags);
    g_log->m_pointFlagsInProcess.push_back(contact->m_flags);
    if (g_log->m_clearCollidable) {
        contact->m_flags &= ~dgContactMaterial::kCollidable;
    }
    return g_log->m_processAnswer;
}

void LogEnd(dgMaterialPair*) {
    g_log->m_end++;
}

int g_childCalls = 0;
dgUnsigned8 g_childAnswer = 1;

dgUnsigned8 CountChild(dgMaterialPair*, dgBody*, dgBody*) {
    g_childCalls++;
    return g_childAnswer;
}

// A unit cube resting 0.05 deep in a static 10 x 1 x 10 floor whose top is y = 0.5.
class dgWorldContacts : public ::testing::Test {
protected:
    static constexpr dgFloat32 kRestingY = 0.95f;

    void SetUp() override {
        g_log = &m_log;
        m_world = std::make_unique<dgWorld>();
        dgCollision* floorShape = m_world->CreateBox(10.0f, 1.0f, 10.0f, dgGetIdentityMatrix());
        dgCollision* cubeShape = m_world->CreateBox(1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
        m_floor = m_world->CreateBody(floorShape);
        m_cube = m_world->CreateBody(cubeShape);
        m_world->ReleaseCollision(floorShape);
        m_world->ReleaseCollision(cubeShape);
        MakeDynamic(m_cube);
        m_cube->SetMatrix(At(0.0f, kRestingY, 0.0f));
        m_material = m_world->GetMaterialPair(0, 0);
        m_material->m_beginCallback = LogBegin;
        m_material->m_processCallback = LogProcess;
        m_material->m_endCallback = LogEnd;
    }
    void TearDown() override {
        m_world.reset();
        g_log = nullptr;
    }

    dgContactJoint* Joint() const { return dgWorld::FindContactJoint(m_cube, m_floor); }

    /// A dynamic body holding a compound of cubes of side size, one at each offset.
    dgBody* CompoundBody(const std::vector<dgVector>& offsets, dgFloat32 size, const dgMatrix& matrix) {
        std::vector<dgCollision*> children;
        for (const dgVector& offset : offsets) {
            children.push_back(m_world->CreateBox(size, size, size, At(offset.x, offset.y, offset.z)));
        }
        dgCollision* compound = m_world->CreateCompound(static_cast<dgInt32>(children.size()), children.data());
        for (dgCollision* child : children) {
            m_world->ReleaseCollision(child);
        }
        dgBody* body = m_world->CreateBody(compound);
        m_world->ReleaseCollision(compound);
        MakeDynamic(body);
        body->SetMatrix(matrix);
        return body;
    }

    /// Recomputes the pair as if the cube had moved.
    void Recompute() {
        m_cube->m_flags &= ~dgBody::kEquilibrium;
        m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    }

    std::vector<dgContact*> UsedPoints() const {
        std::vector<dgContact*> points;
        dgContactJoint* joint = Joint();
        dgListNode<dgContact>* node = joint->m_points.GetFirst();
        for (dgInt32 i = 0; i < joint->m_pointCount; i++, node = node->GetNext()) {
            points.push_back(&node->GetInfo());
        }
        return points;
    }

    CallbackLog m_log;
    std::unique_ptr<dgWorld> m_world;
    dgBody* m_floor = nullptr;
    dgBody* m_cube = nullptr;
    dgMaterialPair* m_material = nullptr;
};

// ---- Pairs that are skipped ----------------------------------------------------------------------------

TEST_F(dgWorldContacts, JointedPairsWithCollisionOffGiveNoContacts) {
    TestJoint hinge;
    m_world->AttachJoint(&hinge, m_cube, m_floor);

    // Direct test (the default): the hinge between the two turns their collision off.
    hinge.m_collisionState = 0;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    EXPECT_EQ(Joint(), nullptr);
    EXPECT_EQ(m_log.m_begin, 0);
    hinge.m_collisionState = 1;
    m_world->CalculateContacts(m_floor, m_cube, StepAsItStands(*m_world));
    ASSERT_NE(Joint(), nullptr);
    EXPECT_GT(Joint()->m_pointCount, 0);
    m_world->DestroyJointNow(Joint());

    // Linked-body walk: any joint that joins the two bodies keeps them apart, whatever its collision byte.
    m_cube->m_flags &= ~dgBody::kJointPairFilter;
    m_floor->m_flags &= ~dgBody::kJointPairFilter;
    m_world->CalculateContacts(m_floor, m_cube, StepAsItStands(*m_world));
    EXPECT_EQ(Joint(), nullptr);
    hinge.m_joins = false;
    m_world->CalculateContacts(m_floor, m_cube, StepAsItStands(*m_world));
    EXPECT_NE(Joint(), nullptr);
    m_world->DestroyBodyNow(m_cube); // detaches the hinge before it leaves the stack
}

TEST_F(dgWorldContacts, MaterialDecidesWhetherThePairIsProcessedAndWhichCallbacksRun) {
    // Not collidable: nothing runs.
    m_material->m_flags &= ~dgContactMaterial::kCollidable;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    EXPECT_EQ(Joint(), nullptr);
    EXPECT_EQ(m_log.m_begin + m_log.m_process + m_log.m_end, 0);

    // A begin callback answering 0 skips the process and end callbacks.
    m_material->m_flags |= dgContactMaterial::kCollidable;
    m_log.m_beginAnswer = 0;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    EXPECT_EQ(Joint(), nullptr);
    EXPECT_EQ(m_log.m_begin, 1);
    EXPECT_EQ(m_log.m_process + m_log.m_end, 0);

    // Collidable and begun: one end call per pair, one process call per point.
    m_log.m_beginAnswer = 1;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    ASSERT_NE(Joint(), nullptr);
    EXPECT_EQ(m_log.m_begin, 2);
    EXPECT_EQ(m_log.m_end, 1);
    EXPECT_EQ(m_log.m_process, Joint()->m_pointCount);

    // A group with no material pair is skipped, never read.
    m_cube->m_materialGroupId = 7;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    EXPECT_EQ(m_log.m_begin, 2);
}

// ---- Building the joint --------------------------------------------------------------------------------

TEST_F(dgWorldContacts, StaticBodyGivenFirstBecomesBodyOneWithNormalsFromItTowardsTheOther) {
    m_world->CalculateContacts(m_floor, m_cube, StepAsItStands(*m_world));
    dgContactJoint* joint = Joint();
    ASSERT_NE(joint, nullptr);
    EXPECT_EQ(joint->m_body0, m_cube);
    EXPECT_EQ(joint->m_body1, m_floor);
    EXPECT_EQ(joint->m_kind, dgJointBase::kContactJoint);
    EXPECT_EQ(joint->m_contactStamp, m_world->m_stepStamp);
    ASSERT_GE(joint->m_pointCount, 3);
    EXPECT_LE(joint->m_pointCount, dgWorld::kMaxPairPoints);
    EXPECT_EQ(joint->m_maxRows, 3 * joint->m_pointCount);
    for (const dgContact* point : UsedPoints()) {
        const dgContactPoint& record = point->m_point;
        EXPECT_TRUE(VectorNear(record.m_normal, dgVector(0.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
        EXPECT_EQ(record.m_body0, m_cube);
        EXPECT_EQ(record.m_body1, m_floor);
        EXPECT_EQ(record.m_collision0, m_cube->m_collision);
        EXPECT_EQ(record.m_collision1, m_floor->m_collision);
        EXPECT_NEAR(record.m_penetration, 0.05f - 1.0f / 128.0f, 1e-3f);
        // Friction directions complete the normal to an orthonormal frame.
        EXPECT_NEAR(point->m_dir0.DotProduct(point->m_dir0), 1.0f, kLooseTol);
        EXPECT_NEAR(point->m_dir0.DotProduct(record.m_normal), 0.0f, kLooseTol);
        EXPECT_TRUE(VectorNear(point->m_dir1, record.m_normal.CrossProduct(point->m_dir0), kLooseTol));
        // Each body's anchor carries back to the point.
        EXPECT_TRUE(VectorNear(m_cube->m_matrix.TransformVector(record.m_reserved[0]), record.m_point, kLooseTol));
        EXPECT_TRUE(VectorNear(m_floor->m_matrix.TransformVector(record.m_reserved[1]), record.m_point, kLooseTol));
    }

    // The dynamic body given first makes the same joint: the normals do not flip a second time.
    Recompute();
    EXPECT_EQ(Joint(), joint);
    for (const dgContact* point : UsedPoints()) {
        EXPECT_TRUE(VectorNear(point->m_point.m_normal, dgVector(0.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
        EXPECT_EQ(point->m_point.m_body0, m_cube);
    }
}

TEST_F(dgWorldContacts, PointsTakeTheMaterialValuesWithClearedAccelerationFlagsAndTheContinuousBitFollowsTheMaterial) {
    m_material->m_softness = 0.25f;
    m_material->m_staticFriction1 = 1.5f;
    m_material->m_flags = dgContactMaterial::kCollidable | dgContactMaterial::kFriction1 | (1u << 5) | (1u << 4);
    m_cube->m_flags |= dgBody::kContinuousCollision;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    ASSERT_NE(Joint(), nullptr);
    for (dgUnsigned32 flags : m_log.m_pointFlagsInProcess) {
        EXPECT_EQ(flags & 0x3fu, dgContactMaterial::kCollidable | dgContactMaterial::kFriction1);
    }
    for (dgUnsigned32 flags : m_log.m_bodyFlagsInProcess) {
        EXPECT_EQ(flags & dgBody::kContinuousCollision, 0u);
    }
    EXPECT_NE(m_cube->m_flags & dgBody::kContinuousCollision, 0u);
    for (const dgContact* point : UsedPoints()) {
        EXPECT_EQ(point->m_softness, 0.25f);
        EXPECT_EQ(point->m_staticFriction1, 1.5f);
    }
}

TEST_F(dgWorldContacts, PointsDroppedByTheProcessCallbackLeaveARowCountOfZero) {
    m_log.m_processAnswer = 0;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    dgContactJoint* joint = Joint();
    ASSERT_NE(joint, nullptr);
    EXPECT_GT(m_log.m_process, 0);
    EXPECT_EQ(joint->m_pointCount, 0);
    EXPECT_EQ(joint->m_maxRows, 0);

    // Clearing the point's collidable bit drops it too.
    m_log.m_processAnswer = 1;
    m_log.m_clearCollidable = true;
    Recompute();
    EXPECT_EQ(joint->m_pointCount, 0);
    EXPECT_EQ(joint->m_maxRows, 0);
    // Dropped points stay in the list and are filled again, not added to.
    const dgInt32 listed = joint->m_points.GetCount();
    Recompute();
    EXPECT_EQ(joint->m_points.GetCount(), listed);
}

// ---- Across steps --------------------------------------------------------------------------------------

TEST_F(dgWorldContacts, PointsAreReusedByPositionAcrossSteps) {
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    const std::vector<dgContact*> first = UsedPoints();
    ASSERT_GE(first.size(), 3u);
    const std::set<dgContact*> nodes(first.begin(), first.end());
    for (int step = 1; step <= 10; step++) {
        m_cube->SetMatrix(At(0.0001f * static_cast<dgFloat32>(step), kRestingY, 0.0f));
        Recompute();
        const std::vector<dgContact*> now = UsedPoints();
        ASSERT_EQ(now.size(), first.size());
        EXPECT_EQ(std::set<dgContact*>(now.begin(), now.end()), nodes) << "step " << step;
        EXPECT_EQ(Joint()->m_points.GetCount(), static_cast<dgInt32>(first.size()));
    }
}

TEST_F(dgWorldContacts, RestingBodiesKeepTheirPointsWithoutTheNarrowPhase) {
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    dgContactJoint* joint = Joint();
    ASSERT_NE(joint, nullptr);
    const dgInt32 count = joint->m_pointCount;
    // A mark the narrow phase would overwrite: shallow enough for the kept points to hold.
    constexpr dgFloat32 kMark = 0.0001f;
    for (dgContact* point : UsedPoints()) {
        point->m_point.m_penetration = kMark;
    }
    const auto marked = [&] {
        for (const dgContact* point : UsedPoints()) {
            if (point->m_point.m_penetration != kMark) {
                return false;
            }
        }
        return true;
    };

    // Both at rest: kept, refreshed from the material and stamped.
    m_cube->m_flags |= dgBody::kEquilibrium;
    m_world->m_stepStamp += 5;
    const int processed = m_log.m_process;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    EXPECT_TRUE(marked());
    EXPECT_EQ(joint->m_pointCount, count);
    EXPECT_EQ(joint->m_contactStamp, m_world->m_stepStamp);
    EXPECT_EQ(m_log.m_process, processed + count);

    // Not at rest but nothing moved: the shallow, spread points still hold.
    Recompute();
    EXPECT_TRUE(marked());

    // Moved by more than the anchors' tolerance: the narrow phase runs again.
    m_cube->SetMatrix(At(0.01f, kRestingY, 0.0f));
    Recompute();
    EXPECT_FALSE(marked());
    EXPECT_EQ(joint->m_pointCount, count);
}

TEST_F(dgWorldContacts, DeepOrCollinearPointsAreRecomputedUnlessBothBodiesRest) {
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    dgContactJoint* joint = Joint();
    ASSERT_NE(joint, nullptr);
    std::vector<dgContact*> points = UsedPoints();
    ASSERT_GE(points.size(), 3u);

    // Every point moved onto one line through the first (anchors kept in step): recomputed.
    for (std::size_t i = 0; i < points.size(); i++) {
        dgContactPoint& record = points[i]->m_point;
        const dgVector p(0.1f * static_cast<dgFloat32>(i), 0.45f, 0.0f, 1.0f);
        record.m_reserved[0] = m_cube->m_matrix.InverseTransformVector(p);
        record.m_reserved[1] = p;
        record.m_penetration = 0.0f;
    }
    Recompute();
    for (const dgContact* point : UsedPoints()) {
        EXPECT_GT(point->m_point.m_penetration, 0.0005f);
    }

    // Deep points hold only while both bodies rest.
    const dgVector before = UsedPoints().front()->m_point.m_point;
    m_cube->SetMatrix(At(0.5f, kRestingY, 0.0f));
    m_cube->m_flags |= dgBody::kEquilibrium;
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    const dgVector after = UsedPoints().front()->m_point.m_point;
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
    EXPECT_EQ(after.z, before.z);
}

TEST_F(dgWorldContacts, ANarrowPhaseWithoutContactsLeavesTheJointAsItWas) {
    m_world->CalculateContacts(m_cube, m_floor, StepAsItStands(*m_world));
    dgContactJoint* joint = Joint();
    ASSERT_NE(joint, nullptr);
    const dgInt32 count = joint->m_pointCount;
    const dgUnsigned64 stamp = joint->m_contactStamp;
    m_world->m_stepStamp++;
    m_cube->SetMatrix(At(0.0f, 3.0f, 0.0f));
    Recompute();
    EXPECT_EQ(Joint(), joint);
    EXPECT_EQ(joint->m_pointCount, count);
    EXPECT_EQ(joint->m_contactStamp, stamp);
}

class dgWorldContactsStepping : public RunsInBuild, public dgWorldContacts {};
INSTANTIATE_BOTH_BUILDS(dgWorldContactsStepping);

TEST_P(dgWorldContactsStepping, TheWorldsStepTurnsOverlappingBodiesIntoAContactJoint) {
    m_world->Update(1.0f / 60.0f);
    dgContactJoint* joint = Joint();
    ASSERT_NE(joint, nullptr);
    EXPECT_EQ(joint->m_body0, m_cube);
    // Stamped in the step's force pass; the dynamics update then advances the stamp by 2.
    EXPECT_EQ(joint->m_contactStamp, m_world->m_stepStamp - 2);
    EXPECT_GE(joint->m_pointCount, 3);
}

// ---- Compound bodies ------------------------------------------------------------------------------------

TEST_F(dgWorldContacts, CompoundAgainstCompoundWithManyChildrenKeepsAtMostSixteenPoints) {
    std::vector<dgVector> offsets;
    for (int i = 0; i < 20; i++) {
        for (int k = 0; k < 10; k++) {
            offsets.emplace_back(0.5f * static_cast<dgFloat32>(i) - 4.75f, 0.0f, 0.5f * static_cast<dgFloat32>(k) - 2.25f, 1.0f);
        }
    }
    dgBody* lower = CompoundBody(offsets, 0.5f, At(0.0f, 10.0f, 0.0f));
    dgBody* upper = CompoundBody(offsets, 0.5f, At(0.1f, 10.45f, 0.1f));
    g_childCalls = 0;
    m_material->m_compoundChildCallback = CountChild;
    m_world->CalculateContacts(lower, upper, StepAsItStands(*m_world));
    dgContactJoint* joint = dgWorld::FindContactJoint(lower, upper);
    ASSERT_NE(joint, nullptr);
    EXPECT_GT(g_childCalls, 200); // every child meets several of the other's
    EXPECT_GT(joint->m_pointCount, 0);
    EXPECT_LE(joint->m_pointCount, dgWorld::kMaxPairPoints);
    EXPECT_LE(joint->m_points.GetCount(), dgWorld::kMaxPairPoints);
    // The bodies' own shapes are back.
    EXPECT_TRUE(lower->m_collision->IsType(m_world->GetCompoundClassId()));
    EXPECT_TRUE(MatrixNear(upper->m_collisionMatrix, At(0.1f, 10.45f, 0.1f), kRoundingTol));
    // Each point names the children that made it.
    dgListNode<dgContact>* node = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < joint->m_pointCount; i++, node = node->GetNext()) {
        EXPECT_FALSE(node->GetInfo().m_point.m_collision0->IsType(m_world->GetCompoundClassId()));
        EXPECT_FALSE(node->GetInfo().m_point.m_collision1->IsType(m_world->GetCompoundClassId()));
    }
}

TEST_F(dgWorldContacts, CompoundSharedByTwoBodiesTouchesWithEachBodysOwnPlacement) {
    dgBody* resting = CompoundBody({dgVector(-1.0f, 0.0f, 0.0f, 1.0f), dgVector(1.0f, 0.0f, 0.0f, 1.0f)}, 1.0f,
                                   At(0.0f, kRestingY, 0.0f));
    // The second body of the same compound is placed last, far from the floor.
    dgBody* elsewhere = m_world->CreateBody(resting->m_collision);
    MakeDynamic(elsewhere);
    elsewhere->SetMatrix(At(50.0f, 20.0f, 0.0f));

    g_childCalls = 0;
    m_material->m_compoundChildCallback = CountChild;
    m_world->CalculateContacts(resting, m_floor, StepAsItStands(*m_world));
    dgContactJoint* joint = dgWorld::FindContactJoint(resting, m_floor);
    ASSERT_NE(joint, nullptr);
    EXPECT_EQ(g_childCalls, 2);
    ASSERT_GE(joint->m_pointCount, 3);
    dgListNode<dgContact>* node = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < joint->m_pointCount; i++, node = node->GetNext()) {
        const dgVector& p = node->GetInfo().m_point.m_point;
        EXPECT_NEAR(p.y, 0.45f, 0.05f);
        EXPECT_LE(std::fabs(p.x), 1.5f + 1e-3f);
    }

    // At rest, the points are kept without a child pair reaching the narrow phase.
    resting->m_flags |= dgBody::kEquilibrium;
    m_world->CalculateContacts(resting, m_floor, StepAsItStands(*m_world));
    EXPECT_EQ(g_childCalls, 2);

    // A child callback answering 0 keeps its child out.
    g_childAnswer = 0;
    resting->m_flags &= ~dgBody::kEquilibrium;
    m_world->DestroyJointNow(joint);
    m_world->CalculateContacts(m_floor, resting, StepAsItStands(*m_world));
    g_childAnswer = 1;
    EXPECT_EQ(g_childCalls, 4);
    EXPECT_EQ(dgWorld::FindContactJoint(resting, m_floor), nullptr);
}

} // namespace
